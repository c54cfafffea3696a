#include <gtest/gtest.h>

#include <cstdlib>

#include "transfer/curl_transfer.h"

int main(int argc, char** argv) {
    // Requests in these tests go to 127.0.0.1 only, never through a proxy of the machine's.
    for (const char* name :
         {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
        unsetenv(name);
    }
    marlowin::CurlTransfer::global_init();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
