#pragma once

#include <string>
#include <string_view>

namespace marlowin {

/**
 * Turns typed text into the URL to request, leniently, as a browser's address bar does:
 * surrounding spaces and control characters are dropped, tabs and line breaks inside are
 * removed, "http://" is assumed without a scheme (also for "host:port" and "user:pass@host"),
 * backslashes count as
 * slashes, a non-ASCII host name is converted to its ASCII (IDNA) form, and spaces, quotes,
 * angle brackets and non-ASCII characters in the path and query are percent-encoded as UTF-8.
 *
 * Throws TransferError for an address that has nothing to fetch (empty, no host, a bad host
 * name), for a scheme other than http and https, and for an address longer than libcurl can
 * send. No description or detail of those errors repeats the typed text.
 */
[[nodiscard]] std::string normalize_address(std::string_view typed);

/**
 * Where a redirect leads: @p location, a Location header's value, read against @p base, the
 * address that answered with it, and rewritten as normalize_address() rewrites typed text, so
 * that the next host is read by the same rules as the first. Throws TransferError as
 * normalize_address() does, for a scheme other than http and https among others.
 */
[[nodiscard]] std::string redirect_target(const std::string& base, std::string_view location);

/**
 * Where a redirect leads, as browsers resolve it: by libcurl's own resolution (the one its
 * redirect following uses) where libcurl resolves as the URL Standard does, and by
 * redirect_target() where it does not: a Location with a backslash, a control character, a
 * non-ASCII character, or a scheme without "//" ("http:/x" and "http:x" lie on the same host).
 * Either way the address is then read as a typed one is.
 */
[[nodiscard]] std::string next_address(const std::string& base, std::string_view location);

/// @p url (as normalize_address() makes it) as details may name it: scheme, host, port and
/// path, without the user name, password, query and fragment, where tokens live; empty when
/// it does not parse.
[[nodiscard]] std::string address_for_details(const std::string& url);

}  // namespace marlowin
