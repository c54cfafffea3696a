// The system's proxy settings on Windows, read as WinINet and WinHTTP programs read them: the
// current user's Internet Options (Settings > Network > Proxy), with automatic detection
// (WPAD) and a PAC script run by Windows' own resolver, then the manual proxy and its bypass
// list.
#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <memory>
#include <system_error>

#include "transfer/abandonable_call.h"
#include "transfer/proxy_route.h"
#include "transfer/slow_sources.h"
#include "transfer/windows_proxy_list.h"

namespace marlowin {

namespace {

struct GlobalFreeDeleter {
    void operator()(wchar_t* text) const { GlobalFree(text); }
};
using GlobalText = std::unique_ptr<wchar_t, GlobalFreeDeleter>;

struct InternetHandleDeleter {
    void operator()(void* handle) const { WinHttpCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetHandleDeleter>;

std::wstring widen(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::string narrow(const wchar_t* text) {
    if (text == nullptr || *text == L'\0') {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return {};
    }
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), size, nullptr, nullptr);
    narrow.resize(static_cast<std::size_t>(size) - 1);
    return narrow;
}

// Windows' answer from automatic detection or a PAC script; nullopt when it has none, so that
// the manual settings apply, as they do in WinINet.
std::optional<std::vector<std::string>> automatic_proxies(const std::string& url,
                                                          const std::string& scheme, bool detect,
                                                          const wchar_t* script) {
    const InternetHandle session(WinHttpOpen(L"Marlowin", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                             WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) {
        return std::nullopt;
    }
    // WinHTTP's own clock for the script's fetch, within the question's budget.
    const int budget = static_cast<int>(kResolverBudget.count());
    WinHttpSetTimeouts(session.get(), budget, budget, budget, budget);
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (detect) {
        options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    if (script != nullptr && *script != L'\0') {
        options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = script;
    }
    options.fAutoLogonIfChallenged = TRUE;  // a PAC behind sign-in, as Windows does it
    WINHTTP_PROXY_INFO info{};
    const std::wstring wide_url = widen(url);
    if (WinHttpGetProxyForUrl(session.get(), wide_url.c_str(), &options, &info) == FALSE) {
        return std::nullopt;
    }
    const GlobalText proxy(info.lpszProxy);
    const GlobalText bypass(info.lpszProxyBypass);
    if (info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY || !proxy) {
        return std::vector<std::string>{"direct://"};
    }
    std::vector<std::string> list = proxies_from_windows_list(narrow(proxy.get()), scheme);
    list.emplace_back("direct://");  // a PAC's DIRECT after its proxies is not reported
    return list;
}

// Windows' answer for @p url, in libproxy's form, best first; blocks while WinHTTP works.
std::vector<std::string> windows_proxies_for(const std::string& url, const std::string& scheme,
                                             const std::string& host,
                                             const std::string& script_url) {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
    if (WinHttpGetIEProxyConfigForCurrentUser(&config) == FALSE) {
        return {"direct://"};
    }
    const GlobalText script(config.lpszAutoConfigUrl);
    const GlobalText proxy(config.lpszProxy);
    const GlobalText bypass(config.lpszProxyBypass);
    if ((config.fAutoDetect != FALSE || script) && script_url != "-") {
        if (auto list = automatic_proxies(url, scheme, config.fAutoDetect != FALSE, script.get())) {
            return *list;
        }
    }
    if (!proxy || windows_bypass_covers(narrow(bypass.get()), host)) {
        return {"direct://"};
    }
    std::vector<std::string> list = proxies_from_windows_list(narrow(proxy.get()), scheme);
    list.emplace_back("direct://");
    return list;
}

// Where the current user's settings say the answer comes from: their PAC script, detection,
// or the manual settings alone.
std::string source_of_answer() {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
    if (WinHttpGetIEProxyConfigForCurrentUser(&config) == FALSE) {
        return {};
    }
    const GlobalText script(config.lpszAutoConfigUrl);
    const GlobalText proxy(config.lpszProxy);
    const GlobalText bypass(config.lpszProxyBypass);
    if (script) {
        return narrow(script.get());
    }
    return config.fAutoDetect != FALSE ? "detection" : "";
}

}  // namespace

ProxyRoutes system_routes(const std::string& question, const std::string& host,
                          const std::stop_token& stop) {
    static SlowSources slow;
    // One question at a time: WinHTTP cannot be interrupted, and one left behind by a cancel
    // ends within its budget; until then the next gets the manual settings alone.
    static std::atomic<bool> asking{false};
    const std::string source = source_of_answer();
    const bool automatic = !source.empty() && !slow.recent(source) && !asking.exchange(true);
    const std::string scheme = question.substr(0, question.find(':'));
    if (!automatic) {
        return routes_from_answer(windows_proxies_for(question, scheme, host, "-"));
    }
    std::optional<std::vector<std::string>> answer;
    try {
        answer = call_abandonably(
            [question, scheme, host] {
                struct Done {
                    ~Done() { asking = false; }
                } done;
                return windows_proxies_for(question, scheme, host, {});
            },
            kResolverBudget, stop);
    } catch (const std::system_error&) {
        asking = false;
        return {ProxyRoute{}};
    }
    if (!answer) {
        slow.note(source);
        return {ProxyRoute{}};
    }
    return routes_from_answer(*answer);
}

}  // namespace marlowin
