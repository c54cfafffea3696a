#include <gtest/gtest.h>

#include <csignal>

#include "tests/shared/test_setup.h"

int main(int argc, char** argv) {
    marlowin::testing::forget_proxies();
#if !defined(_WIN32)
    // A test server writing to a client that has gone gets an error, not the end of the tests.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
