#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace marlowin {

/**
 * A URL's host as a browser's address bar reads it (the URL Standard's host parser, for http
 * and https): percent-decoded, converted to ASCII by UTS #46 with hyphens and lengths left
 * unchecked and non-transitional processing, refused when it holds a code point no host may
 * hold (a NUL, a space, '%', '/', ...), and read as an IPv4 address, in any of the forms that
 * parser takes, when its last label is a number. An ASCII domain is lowercased, whatever
 * UTS #46 says of it.
 *
 * Returns the host to send: a lowercased ASCII domain, a dotted-decimal IPv4 address, or an
 * IPv6 address in brackets as given; nothing when the host is malformed.
 */
[[nodiscard]] std::optional<std::string> parse_host(std::string_view host);

}  // namespace marlowin
