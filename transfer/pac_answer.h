#pragma once

#include <cstddef>
#include <string_view>

#include "transfer/proxy_route.h"

namespace marlowin {

/// The most of a PAC script's answer that is read: a few thousand entries, where real scripts
/// name two or three.
inline constexpr std::size_t kMaxPacAnswerBytes = std::size_t{64} << 10;
/// The most routes taken from one answer, in its order.
inline constexpr std::size_t kMaxPacRoutes = 16;

/**
 * The routes a PAC script's FindProxyForURL answer names, as browsers read it: entries
 * separated by semicolons, each "DIRECT", "PROXY host:port" (or "HTTP"), "HTTPS host:port" (a
 * proxy spoken to over TLS), "SOCKS", "SOCKS5" or "SOCKS4" with its host and port, in any case
 * and with any white space around them. Entries no browser knows are passed over. Only the
 * first kMaxPacAnswerBytes are read (an entry cut there is dropped) and the first
 * kMaxPacRoutes kept. An answer that names nothing usable is a direct connection.
 */
[[nodiscard]] ProxyRoutes routes_from_pac_answer(std::string_view answer, bool cut_short);

}  // namespace marlowin
