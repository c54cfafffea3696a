#include "transfer/address.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "base/ascii.h"
#include "transfer/curl_url.h"
#include "transfer/error_catalogue.h"
#include "transfer/host_parser.h"

namespace marlowin {

namespace {

// libcurl builds a request of at most 1 MiB and reports a longer one as out of memory (27).
// A longer address is refused here, with its real cause.
constexpr std::size_t kMaxUrlBytes = 1'000'000;

// Details name the cause, never the typed text: it may hold a user name and password.
[[noreturn]] void malformed(std::string_view why) {
    fail_curl(CURLE_URL_MALFORMAT, std::string(why));
}

// Schemes a person may type on purpose. An unknown "name:" before "...@host" starts a user name
// and password, as an address bar reads "user:pass@host"; a known one is the scheme
// ("mailto:someone@example.com").
constexpr auto kKnownSchemes = std::to_array<std::string_view>(
    {"about",  "blob",       "chrome",      "data",  "dict",   "file",   "ftp",   "ftps",
     "git",    "gopher",     "gophers",     "http",  "https",  "imap",   "imaps", "irc",
     "ircs",   "javascript", "ldap",        "ldaps", "magnet", "mailto", "mqtt",  "news",
     "nntp",   "pop3",       "pop3s",       "rtmp",  "rtsp",   "scp",    "sftp",  "sip",
     "sips",   "smb",        "smbs",        "sms",   "smtp",   "smtps",  "ssh",   "tel",
     "telnet", "tftp",       "view-source", "ws",    "wss",    "xmpp"});

// The scheme, when the text starts with one: letters, digits, '+', '-', '.', then ':'. A
// "name:digits" followed by nothing, '/', '?' or '#' is a host and port, not a scheme.
std::string_view scheme_of(std::string_view text) {
    if (text.empty() || !ascii::is_alpha(text[0])) {
        return {};
    }
    std::size_t i = 1;
    while (i < text.size() && (ascii::is_alpha(text[i]) || ascii::is_digit(text[i]) ||
                               text[i] == '+' || text[i] == '-' || text[i] == '.')) {
        ++i;
    }
    if (i >= text.size() || text[i] != ':') {
        return {};
    }
    std::size_t j = i + 1;
    while (j < text.size() && ascii::is_digit(text[j])) {
        ++j;
    }
    if (j > i + 1 && (j == text.size() || text[j] == '/' || text[j] == '?' || text[j] == '#')) {
        return {};
    }
    std::string name(text.substr(0, i));
    std::transform(name.begin(), name.end(), name.begin(), ascii::to_lower);
    const bool known =
        std::find(kKnownSchemes.begin(), kKnownSchemes.end(), name) != kKnownSchemes.end();
    if (!known && text.substr(0, text.find_first_of("/\\?#")).find('@') != std::string_view::npos) {
        return {};
    }
    return text.substr(0, i);
}

// The port after a host (":8080", ":", or nothing), as the address will carry it: digits only,
// at most 65535, and none where it is the scheme's own.
std::string port_part(std::string_view rest, std::string_view scheme) {
    if (rest.empty()) {
        return {};
    }
    if (rest.front() != ':') {
        malformed("something between the host name and its port");
    }
    std::string_view digits = rest.substr(1);
    if (!std::all_of(digits.begin(), digits.end(), ascii::is_digit)) {
        malformed("a port that is not a number");
    }
    while (digits.size() > 1 && digits.front() == '0') {
        digits.remove_prefix(1);
    }
    if (digits.empty()) {
        return {};
    }
    if (digits.size() > 5 || std::stoul(std::string(digits)) > 65535) {
        malformed("a port above 65535");
    }
    if ((scheme == "http" && digits == "80") || (scheme == "https" && digits == "443")) {
        return {};
    }
    std::string port(1, ':');  // not ":" + ...: GCC 12 warns falsely of overlapping copies
    port += digits;
    return port;
}

enum class Part { Path, Query, Userinfo };

// Percent-encodes what a server would not take raw: controls, space, quotes, angle brackets and
// every non-ASCII byte; in a path also backquote, braces and caret, in a query the apostrophe,
// and in a user name or password the characters that delimit the parts of an address. An
// existing %XX stays as it is.
void append_encoded(std::string& out, std::string_view part, Part where) {
    constexpr std::array<char, 16> kHex = {'0', '1', '2', '3', '4', '5', '6', '7',
                                           '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};
    constexpr std::string_view kUserinfoDelimiters = "`{}/:;=@[\\]^|#?";
    for (const char c : part) {
        const auto b = static_cast<unsigned char>(c);
        bool encode = b <= 0x20 || b >= 0x7F || c == '"' || c == '<' || c == '>';
        switch (where) {
            case Part::Path:
                encode = encode || c == '`' || c == '{' || c == '}' || c == '^';
                break;
            case Part::Query:
                encode = encode || c == '\'';
                break;
            case Part::Userinfo:
                encode = encode || kUserinfoDelimiters.find(c) != std::string_view::npos;
                break;
        }
        if (encode) {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        } else {
            out += c;
        }
    }
}

// The path and query of @p tail (backslashes read as slashes in the path), percent-encoded;
// the fragment is dropped, as it is never sent.
void append_path_and_query(std::string& out, std::string_view tail) {
    tail = tail.substr(0, tail.find('#'));
    const std::size_t query_at = tail.find('?');
    std::string path(tail.substr(0, query_at));
    std::replace(path.begin(), path.end(), '\\', '/');
    append_encoded(out, path, Part::Path);
    if (query_at != std::string_view::npos) {
        append_encoded(out, tail.substr(query_at), Part::Query);
    }
}

// Typed text without surrounding spaces and control characters, nor tabs and line breaks
// inside.
std::string cleaned(std::string_view typed) {
    const auto c0_or_space = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!typed.empty() && c0_or_space(typed.front())) {
        typed.remove_prefix(1);
    }
    while (!typed.empty() && c0_or_space(typed.back())) {
        typed.remove_suffix(1);
    }
    std::string text;
    text.reserve(typed.size());
    std::copy_if(typed.begin(), typed.end(), std::back_inserter(text),
                 [](char c) { return c != '\t' && c != '\n' && c != '\r'; });
    if (text.empty()) {
        malformed("empty address");
    }
    return text;
}

// The user name and password, host and port of an address, as it will carry them.
void append_authority(std::string& url, std::string_view authority, std::string_view scheme) {
    // The user name and password end at the last '@'; libcurl would take the first.
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        const std::string_view userinfo = authority.substr(0, at);
        const std::size_t colon = userinfo.find(':');
        append_encoded(url, userinfo.substr(0, colon), Part::Userinfo);
        if (colon != std::string_view::npos) {
            url += ':';
            append_encoded(url, userinfo.substr(colon + 1), Part::Userinfo);
        }
        url += '@';
        authority.remove_prefix(at + 1);
    }
    const std::size_t port_colon = authority.starts_with('[')
                                       ? authority.find(':', authority.find(']'))
                                       : authority.rfind(':');
    const std::string_view host = authority.substr(0, port_colon);
    // An IPv4 part inside an IPv6 address has no leading zeros (the URL Standard); the
    // libcurl of one system refuses "[::4.1.5.05]", that of another would take it.
    if (host.starts_with('[')) {
        for (std::size_t dot = host.find('.'); dot != std::string_view::npos;
             dot = host.find('.', dot + 1)) {
            if (dot + 2 < host.size() && host[dot + 1] == '0' && ascii::is_digit(host[dot + 2])) {
                malformed("a leading zero in an IPv4 part of an IPv6 address");
            }
        }
    }
    const std::optional<std::string> parsed_host = parse_host(host);
    if (!parsed_host) {
        malformed("a host name no browser would send a request to");
    }
    url += *parsed_host;
    url += port_part(authority.substr(host.size()), scheme);
}

// The browser-style rewriting libcurl does not do: trimming, the default scheme, slashes for
// backslashes, an IDNA host, percent-encoding, no fragment.
std::string rewrite(std::string_view typed) {
    const std::string text = cleaned(typed);
    std::string scheme(scheme_of(text));
    std::transform(scheme.begin(), scheme.end(), scheme.begin(), ascii::to_lower);
    std::string_view rest = text;
    if (scheme.empty()) {
        scheme = "http";
    } else {
        rest.remove_prefix(scheme.size() + 1);
        if (scheme != "http" && scheme != "https") {
            fail_curl(CURLE_UNSUPPORTED_PROTOCOL, "scheme \"" + scheme + "\"");
        }
    }
    // Any run of slashes (or backslashes) after the scheme introduces the host.
    while (!rest.empty() && (rest.front() == '/' || rest.front() == '\\')) {
        rest.remove_prefix(1);
    }
    const std::size_t authority_end = rest.find_first_of("/\\?#");
    const std::string_view tail =
        authority_end == std::string_view::npos ? std::string_view() : rest.substr(authority_end);
    std::string url = scheme + "://";
    append_authority(url, rest.substr(0, authority_end), scheme);
    if (tail.empty() || (tail.front() != '/' && tail.front() != '\\')) {
        url += '/';
    }
    append_path_and_query(url, tail);
    return url;
}

}  // namespace

std::string normalize_address(std::string_view typed) {
    const std::string url = rewrite(typed);
    if (url.size() > kMaxUrlBytes) {
        fail(Failure::AddressTooLong,
             "the address is " + std::to_string(url.size()) + " bytes long");
    }
    // libcurl's own parser judges the host, the port and the rest, as it will when fetching.
    const std::optional<CurlUrl> parsed = CurlUrl::parse(url);
    std::optional<std::string> checked;
    if (!parsed || !(checked = parsed->get(CURLUPART_URL))) {
        malformed("libcurl does not take the address");
    }
    return *checked;
}

std::string redirect_target(const std::string& base, std::string_view location) {
    // As the URL Standard reads any URL: tabs and line breaks inside count for nothing.
    std::string without_breaks(ascii::trim(location));
    std::erase_if(without_breaks, [](char c) { return c == '\t' || c == '\n' || c == '\r'; });
    location = without_breaks;
    const bool scheme_relative = location.size() >= 2 &&
                                 (location[0] == '/' || location[0] == '\\') &&
                                 (location[1] == '/' || location[1] == '\\');
    if (scheme_relative) {
        return normalize_address(base.substr(0, base.find(':') + 1) + std::string(location));
    }
    if (const std::string_view scheme = scheme_of(location); !scheme.empty()) {
        // The base's own scheme without "//" names a place on the same host, as the URL
        // Standard reads "http:/x" and "http:x" against an http:// address.
        const std::string_view rest = location.substr(scheme.size() + 1);
        const bool same_scheme =
            ascii::equal_ignoring_case(scheme, std::string_view(base).substr(0, base.find(':')));
        const bool slashes = rest.size() >= 2 && (rest[0] == '/' || rest[0] == '\\') &&
                             (rest[1] == '/' || rest[1] == '\\');
        if (!same_scheme || slashes) {
            return normalize_address(location);
        }
        location = rest;
    }
    // A path, query or both, on the same host: encoded as a typed one would be, then resolved
    // against the base by libcurl (dot segments included).
    std::string relative;
    append_path_and_query(relative, location);
    std::optional<CurlUrl> resolved = CurlUrl::parse(base);
    std::optional<std::string> joined;
    if (!resolved || !resolved->set(CURLUPART_URL, relative.c_str()) ||
        !(joined = resolved->get(CURLUPART_URL))) {
        malformed("libcurl does not take the redirect's address");
    }
    return normalize_address(*joined);
}

std::string next_address(const std::string& base, std::string_view location) {
    location = ascii::trim(location);
    const bool odd_characters = std::any_of(location.begin(), location.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return c == '\\' || b < 0x20 || b >= 0x7F;
    });
    const std::string_view scheme = scheme_of(location);
    const bool scheme_without_slashes =
        !scheme.empty() && !location.substr(scheme.size() + 1).starts_with("//");
    if (odd_characters || scheme_without_slashes) {
        return redirect_target(base, location);
    }
    // As libcurl's own following resolves it (CURLINFO_REDIRECT_URL is set only once a
    // redirect's body has been read, and Marlowin never reads it).
    std::optional<CurlUrl> resolved = CurlUrl::parse(base);
    std::optional<std::string> target;
    if (!resolved ||
        !resolved->set(CURLUPART_URL, std::string(location).c_str(),
                       CURLU_URLENCODE | CURLU_ALLOW_SPACE | CURLU_NON_SUPPORT_SCHEME) ||
        !(target = resolved->get(CURLUPART_URL))) {
        malformed("libcurl does not take the redirect's address");
    }
    return normalize_address(*target);
}

std::string address_for_details(const std::string& url) {
    std::optional<CurlUrl> parsed = CurlUrl::parse(url);
    if (!parsed) {
        return {};
    }
    for (const CURLUPart part : {CURLUPART_USER, CURLUPART_PASSWORD, CURLUPART_OPTIONS,
                                 CURLUPART_QUERY, CURLUPART_FRAGMENT}) {
        if (!parsed->set(part, nullptr)) {
            return {};
        }
    }
    return parsed->get(CURLUPART_URL).value_or(std::string());
}

}  // namespace marlowin
