#pragma once

#include <chrono>
#include <cstdlib>
#include <string>

#if defined(_WIN32)
#include <winsock2.h>  // before windows.h, as it asks

#include <windows.h>
#endif

#include "workflow/page_fetcher.h"

namespace marlowin::testing {

/// The program's settings with time-outs short enough for tests.
inline TransferOptions quick_options() {
    TransferOptions options;
    options.connect_timeout = std::chrono::seconds(2);
    options.idle_timeout = std::chrono::seconds(1);
    return options;
}

/// Sets (or, with nullptr, removes) an environment variable of this process.
inline void set_environment(const char* name, const char* value) {
#if defined(_WIN32)
    _putenv_s(name, value != nullptr ? value : "");
#else
    if (value != nullptr) {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
#endif
}

/// Requests in tests go to 127.0.0.1 only, never through a proxy of the machine's, nor of a
/// desktop the tests happen to run in.
inline void forget_proxies() {
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy",
                             "ALL_PROXY", "no_proxy", "NO_PROXY", "XDG_CURRENT_DESKTOP",
                             "DESKTOP_SESSION", "GNOME_DESKTOP_SESSION_ID", "KDE_FULL_SESSION"}) {
        set_environment(name, nullptr);
    }
}

/// Whether this Windows program runs under Wine, whose emulation some checks cannot trust.
inline bool running_under_wine() {
#if defined(_WIN32)
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

}  // namespace marlowin::testing
