#include <gtest/gtest.h>

#include "tests/shared/test_setup.h"
#include "transfer/curl_transfer.h"

int main(int argc, char** argv) {
    marlowin::testing::forget_proxies();
    marlowin::CurlTransfer::global_init();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
