#pragma once

#include <chrono>
#include <cstdlib>

#include "transfer/page_fetcher.h"

namespace marlowin::testing {

/// The program's settings with time-outs short enough for tests.
inline TransferOptions quick_options() {
    TransferOptions options;
    options.connect_timeout = std::chrono::seconds(2);
    options.idle_timeout = std::chrono::seconds(1);
    return options;
}

/// Requests in tests go to 127.0.0.1 only, never through a proxy of the machine's.
inline void forget_proxies() {
    for (const char* name :
         {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
        unsetenv(name);
    }
}

}  // namespace marlowin::testing
