#pragma once

#include <chrono>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace marlowin {

/// How one request reaches its server: straight, or through the proxy named (in libcurl's
/// form, "http://host:port", "socks5h://host:port").
struct ProxyRoute {
    std::string proxy;  ///< empty: a direct connection

    [[nodiscard]] bool direct() const { return proxy.empty(); }
};

/// Whether @p host (as a normalised URL holds it) is this machine's loopback: localhost and
/// its subdomains, 127.0.0.0/8, [::1] and the IPv4-mapped [::ffff:127.x.y.z].
[[nodiscard]] bool is_loopback_host(std::string_view host);

/// Whether a no_proxy list (commas or spaces between entries; "*" for every host; a domain
/// covers its subdomains, with or without a leading dot) exempts @p host.
[[nodiscard]] bool no_proxy_covers(std::string_view list, std::string_view host);

/// The first entry of a proxy resolver's answer that libcurl can follow: "direct://" and
/// the http, https and SOCKS proxies; nullopt when none can be.
[[nodiscard]] std::optional<ProxyRoute> first_usable_proxy(const std::vector<std::string>& list);

/**
 * The route for @p url (as normalize_address() makes it), decided as the person's system
 * decides it: loopback never through a proxy; a proxy named in the environment (http_proxy,
 * https_proxy, all_proxy, with no_proxy); otherwise the system's own settings, through
 * libproxy on Linux and WinHTTP on Windows, with their PAC scripts and automatic detection.
 *
 * A resolver that is missing, fails or has not answered within @p limit leaves a direct
 * connection, without a word. Throws TransferCancelled as soon as @p stop is requested, even
 * while a PAC script is being fetched or run.
 */
[[nodiscard]] ProxyRoute choose_proxy_route(const std::string& url, std::chrono::milliseconds limit,
                                            const std::stop_token& stop);

/// The system resolver's answer for @p url, whose scheme and host are given too, in libproxy's
/// form ("direct://", "http://host:port"...), best first. Blocks while it works; may throw.
/// One per platform.
[[nodiscard]] std::vector<std::string> system_proxies_for(const std::string& url,
                                                          const std::string& scheme,
                                                          const std::string& host);

}  // namespace marlowin
