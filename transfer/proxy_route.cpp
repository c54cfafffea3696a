#include "transfer/proxy_route.h"

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

#include "base/ascii.h"
#include "transfer/curl_url.h"
#include "transfer/error_catalogue.h"
#include "transfer/no_proxy.h"

namespace marlowin {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// libproxy's own forms, which name a PAC script or detection rather than a proxy.
bool is_libproxy_syntax(std::string_view value) {
    return value.starts_with("pac+") || value.starts_with("wpad:") || value.starts_with("direct:");
}

bool is_ipv6_loopback(std::string_view host) {
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
    const bool mapped = zeros(0, 10) && bytes[10] == 0xFF && bytes[11] == 0xFF && bytes[12] == 127;
    const bool compatible = zeros(0, 12) && bytes[12] == 127;  // ::127.0.0.1
    return loopback || mapped || compatible;
}

// The proxy setting libcurl itself would take from the environment for @p scheme.
std::string environment_proxy(std::string_view scheme) {
    // http_proxy in lower case only, as CGI programs may be handed HTTP_PROXY by a client.
    std::string proxy = scheme == "http" ? environment("http_proxy") : environment("https_proxy");
    if (proxy.empty() && scheme == "https") {
        proxy = environment("HTTPS_PROXY");
    }
    for (const char* name : {"all_proxy", "ALL_PROXY"}) {
        if (proxy.empty()) {
            proxy = environment(name);
        }
    }
    return proxy;
}

// Whether the environment names a proxy at all, for any scheme: then it decides, by
// libcurl's rule, and the system is not asked.
bool environment_names_proxies() {
    constexpr std::array kNames{"http_proxy",  "HTTP_PROXY", "https_proxy",
                                "HTTPS_PROXY", "all_proxy",  "ALL_PROXY"};
    return std::any_of(kNames.begin(), kNames.end(), [](const char* name) {
        const std::string value = environment(name);
        return !value.empty() && !is_libproxy_syntax(value);
    });
}

}  // namespace

bool ProxyRoute::has_credentials() const {
    const std::size_t scheme_end = proxy.find("://");
    const std::string_view rest =
        std::string_view(proxy).substr(scheme_end == std::string::npos ? 0 : scheme_end + 3);
    return rest.substr(0, rest.find('/')).find('@') != std::string_view::npos;
}

bool is_loopback_host(std::string_view host) {
    if (host.ends_with('.') && !host.starts_with('[')) {
        host.remove_suffix(1);  // the root domain's dot: the same name
    }
    if (ascii::equal_ignoring_case(host, "localhost") ||
        ascii::ends_with_ignoring_case(host, ".localhost") ||
        ascii::equal_ignoring_case(host, "localhost.localdomain")) {
        return true;
    }
    if (host.starts_with('[') && host.ends_with(']')) {
        return is_ipv6_loopback(host);
    }
    // Normalised hosts hold IPv4 addresses as four decimal parts.
    return host.starts_with("127.") &&
           host.find_first_not_of("0123456789.") == std::string_view::npos;
}

ProxyRoute route_from_setting(std::string_view setting) {
    std::string proxy(ascii::trim(setting));
    const std::size_t scheme_end = proxy.find("://");
    if (scheme_end == std::string::npos) {
        proxy.insert(0, "http://");
    } else {
        std::string scheme = proxy.substr(0, scheme_end);
        std::transform(scheme.begin(), scheme.end(), scheme.begin(), ascii::to_lower);
        constexpr std::array<std::string_view, 6> kSpoken{"http",    "https",  "socks4",
                                                          "socks4a", "socks5", "socks5h"};
        if (std::find(kSpoken.begin(), kSpoken.end(), scheme) == kSpoken.end()) {
            fail(Failure::ProxyKindUnsupported, "a proxy of the kind \"" + scheme + "\"");
        }
        proxy.replace(0, scheme_end, scheme);
    }
    const std::optional<CurlUrl> parsed = CurlUrl::parse(proxy, CURLU_NON_SUPPORT_SCHEME);
    if (!parsed || !parsed->get(CURLUPART_HOST)) {
        fail(Failure::ProxySettingMalformed, "a proxy setting libcurl does not take");
    }
    return ProxyRoute{proxy};
}

std::optional<ProxyRoute> environment_route(std::string_view scheme, std::string_view host) {
    if (!environment_names_proxies()) {
        return std::nullopt;
    }
    const std::string named = environment_proxy(scheme);
    if (is_libproxy_syntax(named)) {
        return std::nullopt;  // a PAC script for this scheme: the system runs it
    }
    if (named.empty()) {
        return ProxyRoute{};
    }
    std::string exempt = environment("no_proxy");
    if (exempt.empty()) {
        exempt = environment("NO_PROXY");
    }
    return no_proxy_covers(exempt, host) ? ProxyRoute{} : route_from_setting(named);
}

ProxyRoutes routes_from_answer(const std::vector<std::string>& answer) {
    // "socks://" is any SOCKS version: SOCKS5, with names resolved by the proxy, as a browser
    // asks.
    constexpr std::array<std::pair<std::string_view, std::string_view>, 7> kSchemes{{
        {"http://", "http://"},
        {"https://", "https://"},
        {"socks://", "socks5h://"},
        {"socks4://", "socks4a://"},
        {"socks4a://", "socks4a://"},
        {"socks5://", "socks5h://"},
        {"socks5h://", "socks5h://"},
    }};
    ProxyRoutes routes;
    for (const std::string& entry : answer) {
        if (entry.starts_with("direct://")) {
            routes.emplace_back();
            continue;
        }
        for (const auto& [scheme, curl_scheme] : kSchemes) {
            if (entry.size() > scheme.size() && entry.starts_with(scheme)) {
                routes.push_back(
                    ProxyRoute{std::string(curl_scheme) + entry.substr(scheme.size())});
                break;
            }
        }
    }
    if (routes.empty()) {
        routes.emplace_back();
    }
    return routes;
}

std::string resolver_question(const std::string& url) {
    std::optional<CurlUrl> parsed = CurlUrl::parse(url);
    if (!parsed || !parsed->set(CURLUPART_USER, nullptr) ||
        !parsed->set(CURLUPART_PASSWORD, nullptr) || !parsed->set(CURLUPART_FRAGMENT, nullptr)) {
        return {};
    }
    if (parsed->get(CURLUPART_SCHEME) == "https" &&
        (!parsed->set(CURLUPART_PATH, "/") || !parsed->set(CURLUPART_QUERY, nullptr))) {
        return {};
    }
    std::string question = parsed->get(CURLUPART_URL).value_or(std::string());
    // A backslash is the one character of a normalised address that a script's string could
    // take for an escape; it means the same percent-encoded.
    for (std::size_t at = question.find('\\'); at != std::string::npos;
         at = question.find('\\', at)) {
        question.replace(at, 1, "%5C");
    }
    return question;
}

ProxyRoutes RouteChooser::routes_for(const std::string& url, const std::stop_token& stop) {
    const std::optional<CurlUrl> parsed = CurlUrl::parse(url);
    const std::optional<std::string> scheme = parsed ? parsed->get(CURLUPART_SCHEME) : std::nullopt;
    const std::optional<std::string> host = parsed ? parsed->get(CURLUPART_HOST) : std::nullopt;
    if (!scheme || !host || is_loopback_host(*host)) {
        return {ProxyRoute{}};
    }
    if (std::optional<ProxyRoute> named = environment_route(*scheme, *host)) {
        return {std::move(*named)};
    }
    const std::string question = resolver_question(url);
    if (const auto known = answered_.find(question); known != answered_.end()) {
        return known->second;
    }
    ProxyRoutes routes = system_routes(question, *host, stop);
    answered_.emplace(question, routes);
    return routes;
}

}  // namespace marlowin
