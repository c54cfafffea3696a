#include <gtest/gtest.h>

#include "tests/shared/test_setup.h"

int main(int argc, char** argv) {
    marlowin::testing::forget_proxies();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
