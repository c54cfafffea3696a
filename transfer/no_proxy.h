#pragma once

#include <string_view>

namespace marlowin {

/**
 * Whether a no_proxy list exempts @p host (as a normalised URL holds it), by libcurl's rule:
 * "*" alone exempts every host; entries are separated by commas or blanks; a name covers
 * itself and its subdomains, leading and trailing dots ignored; an address entry covers the
 * same address, or with a prefix length ("10.0.0.0/8", "fd00::/8") every address in it.
 */
[[nodiscard]] bool no_proxy_covers(std::string_view list, std::string_view host);

}  // namespace marlowin
