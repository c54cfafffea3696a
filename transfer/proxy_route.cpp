#include "transfer/proxy_route.h"

#include <curl/curl.h>

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <sys/socket.h>
#endif

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>
#include <system_error>

#include "decoding/ascii.h"
#include "decoding/c_handle.h"
#include "transfer/abandonable_call.h"
#include "transfer/list_entries.h"

namespace marlowin {

namespace {

bool ends_with_ignoring_case(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           ascii::equal_ignoring_case(text.substr(text.size() - suffix.size()), suffix);
}

bool is_ipv4_loopback(std::string_view host) {
    // Normalised hosts hold IPv4 addresses as four decimal parts.
    return host.starts_with("127.") &&
           host.find_first_not_of("0123456789.") == std::string_view::npos;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// libproxy reads these too, and only libproxy knows them.
bool is_libproxy_syntax(std::string_view value) {
    return value.starts_with("pac+") || value.starts_with("wpad:") || value.starts_with("direct:");
}

// The proxy libcurl itself would take from the environment for @p scheme: http_proxy (lower
// case only, as CGI programs may be handed HTTP_PROXY by a client), https_proxy, all_proxy.
std::string environment_proxy(std::string_view scheme) {
    std::string proxy;
    if (scheme == "http") {
        proxy = environment("http_proxy");
    } else {
        proxy = environment("https_proxy");
        if (proxy.empty()) {
            proxy = environment("HTTPS_PROXY");
        }
    }
    for (const char* name : {"all_proxy", "ALL_PROXY"}) {
        if (proxy.empty()) {
            proxy = environment(name);
        }
    }
    return proxy;
}

struct UrlParts {
    std::string scheme;
    std::string host;
};

std::optional<UrlParts> parts_of(const std::string& url) {
    const CHandle<CURLU, curl_url_cleanup> parsed(curl_url());
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
        return std::nullopt;
    }
    UrlParts parts;
    for (auto [part, out] :
         {std::pair{CURLUPART_SCHEME, &parts.scheme}, std::pair{CURLUPART_HOST, &parts.host}}) {
        char* text = nullptr;
        if (curl_url_get(parsed.get(), part, &text, 0) != CURLUE_OK) {
            return std::nullopt;
        }
        const CHandle<char, curl_free> owned(text);
        *out = text;
    }
    return parts;
}

}  // namespace

bool is_loopback_host(std::string_view host) {
    if (ascii::equal_ignoring_case(host, "localhost") ||
        ends_with_ignoring_case(host, ".localhost")) {
        return true;
    }
    if (host.starts_with('[') && host.ends_with(']')) {
        // Any spelling of ::1, or an IPv4-mapped loopback address (::ffff:127.x.y.z).
        const std::string address(host.substr(1, host.size() - 2));
        std::array<unsigned char, 16> bytes{};
        if (inet_pton(AF_INET6, address.c_str(), bytes.data()) != 1) {
            return false;
        }
        const auto zeros = [&bytes](std::size_t from, std::size_t to) {
            return std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                               bytes.begin() + static_cast<std::ptrdiff_t>(to),
                               [](unsigned char b) { return b == 0; });
        };
        const bool loopback = zeros(0, 15) && bytes[15] == 1;
        const bool mapped_loopback =
            zeros(0, 10) && bytes[10] == 0xFF && bytes[11] == 0xFF && bytes[12] == 127;
        return loopback || mapped_loopback;
    }
    return is_ipv4_loopback(host);
}

bool no_proxy_covers(std::string_view list, std::string_view host) {
    if (host.starts_with('[') && host.ends_with(']')) {
        host = host.substr(1, host.size() - 2);
    }
    return any_entry(list, ", ", [host](std::string_view entry) {
        if (entry == "*") {
            return true;
        }
        while (entry.starts_with('.')) {
            entry.remove_prefix(1);
        }
        if (entry.starts_with('[') && entry.ends_with(']')) {
            entry = entry.substr(1, entry.size() - 2);
        }
        return !entry.empty() &&
               (ascii::equal_ignoring_case(host, entry) ||
                (host.size() > entry.size() && host[host.size() - entry.size() - 1] == '.' &&
                 ends_with_ignoring_case(host, entry)));
    });
}

std::optional<ProxyRoute> first_usable_proxy(const std::vector<std::string>& list) {
    // libproxy's "socks://" is any SOCKS version: SOCKS5, with names resolved by the proxy,
    // as a browser asks.
    constexpr std::array<std::pair<std::string_view, std::string_view>, 7> kSchemes{{
        {"http://", "http://"},
        {"https://", "https://"},
        {"socks://", "socks5h://"},
        {"socks4://", "socks4a://"},
        {"socks4a://", "socks4a://"},
        {"socks5://", "socks5h://"},
        {"socks5h://", "socks5h://"},
    }};
    for (const std::string& entry : list) {
        if (entry.starts_with("direct://")) {
            return ProxyRoute{};
        }
        for (const auto& [scheme, curl_scheme] : kSchemes) {
            if (entry.size() > scheme.size() && entry.starts_with(scheme)) {
                return ProxyRoute{std::string(curl_scheme) + entry.substr(scheme.size())};
            }
        }
    }
    return std::nullopt;
}

ProxyRoute choose_proxy_route(const std::string& url, std::chrono::milliseconds limit,
                              const std::stop_token& stop) {
    const std::optional<UrlParts> parts = parts_of(url);
    if (!parts || is_loopback_host(parts->host)) {
        return {};
    }
    std::string named = environment_proxy(parts->scheme);
    if (!named.empty() && !is_libproxy_syntax(named)) {
        std::string exempt = environment("no_proxy");
        if (exempt.empty()) {
            exempt = environment("NO_PROXY");
        }
        return no_proxy_covers(exempt, parts->host) ? ProxyRoute{} : ProxyRoute{named};
    }
    std::optional<std::vector<std::string>> answer;
    try {
        answer = call_abandonably(
            [url, parts = *parts] { return system_proxies_for(url, parts.scheme, parts.host); },
            limit, stop);
    } catch (const std::system_error&) {
        return {};  // no thread to ask on: a direct connection, as with no answer
    }
    if (!answer) {
        return {};
    }
    return first_usable_proxy(*answer).value_or(ProxyRoute{});
}

}  // namespace marlowin
