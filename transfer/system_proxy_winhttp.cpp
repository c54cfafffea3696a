// The system's proxy settings on Windows, read as WinINet and WinHTTP programs read them: the
// current user's Internet Options (Settings > Network > Proxy), with automatic detection
// (WPAD) and a PAC script run by Windows' own resolver, then the manual proxy and its bypass
// list.
#include <windows.h>
#include <winhttp.h>

#include <memory>

#include "transfer/proxy_route.h"
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

}  // namespace

std::vector<std::string> system_proxies_for(const std::string& url, const std::string& scheme,
                                            const std::string& host) {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
    if (WinHttpGetIEProxyConfigForCurrentUser(&config) == FALSE) {
        return {"direct://"};
    }
    const GlobalText script(config.lpszAutoConfigUrl);
    const GlobalText proxy(config.lpszProxy);
    const GlobalText bypass(config.lpszProxyBypass);
    if (config.fAutoDetect != FALSE || script) {
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

}  // namespace marlowin
