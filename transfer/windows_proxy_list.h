#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace marlowin {

/// The proxies a Windows proxy list (Internet Options' "ProxyServer", or WinHTTP's answer
/// from a PAC script) names for @p scheme, in libproxy's form, best first: "http=a:1;https=b:2"
/// gives each scheme its own, a bare "a:1" serves every scheme, "socks=c:3" is the last resort.
[[nodiscard]] std::vector<std::string> proxies_from_windows_list(std::string_view list,
                                                                 std::string_view scheme);

/// Whether a Windows bypass list ("ProxyOverride": "<local>;*.example.com;10.*") exempts
/// @p host. "<local>" is every name without a dot; '*' stands for any run of characters; an
/// entry's scheme and port, when it has them, are not compared.
[[nodiscard]] bool windows_bypass_covers(std::string_view list, std::string_view host);

}  // namespace marlowin
