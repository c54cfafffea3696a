#include "transfer/address.h"

#include <curl/curl.h>
#include <unicode/uidna.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>

#include "transfer/error_descriptions.h"
#include "workflow/transfer_error.h"

namespace marlowin {

namespace {

// libcurl builds a request of at most 1 MiB and reports a longer one as out of memory (27).
// A longer address is refused here, under that number, with its real cause.
constexpr std::size_t kMaxUrlBytes = 1'000'000;

constexpr bool is_c0_or_space(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}
constexpr bool is_alpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
constexpr bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
constexpr char to_lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

[[noreturn]] void malformed(std::string_view typed, std::string_view why) {
    throw TransferError(CURLE_URL_MALFORMAT, describe_curl_error(CURLE_URL_MALFORMAT),
                        std::string(why) + ": \"" + std::string(typed) + "\"");
}

// The scheme, when the text starts with one: letters, digits, '+', '-', '.', then ':'. A
// "name:digits" followed by nothing, '/', '?' or '#' is a host and port, not a scheme.
std::string_view scheme_of(std::string_view text) {
    if (text.empty() || !is_alpha(text[0])) {
        return {};
    }
    std::size_t i = 1;
    while (i < text.size() && (is_alpha(text[i]) || is_digit(text[i]) || text[i] == '+' ||
                               text[i] == '-' || text[i] == '.')) {
        ++i;
    }
    if (i >= text.size() || text[i] != ':') {
        return {};
    }
    std::size_t j = i + 1;
    while (j < text.size() && is_digit(text[j])) {
        ++j;
    }
    if (j > i + 1 && (j == text.size() || text[j] == '/' || text[j] == '?' || text[j] == '#')) {
        return {};
    }
    return text.substr(0, i);
}

// Characters a host name may hold besides letters and digits, as libcurl takes them; anything
// else (spaces, '<', '%', '(', '|', ...) makes the address malformed rather than reaching the
// network.
constexpr bool is_host_char(char c) {
    return is_alpha(c) || is_digit(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

bool is_hex(char c) {
    return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool is_ipv4_address(std::string_view text) {
    int parts = 0;
    while (!text.empty()) {
        const std::size_t dot = text.find('.');
        const std::string_view part = text.substr(0, dot);
        if (part.empty() || part.size() > 3 || !std::all_of(part.begin(), part.end(), is_digit) ||
            (part.size() > 1 && part[0] == '0') || std::stoi(std::string(part)) > 255) {
            return false;
        }
        ++parts;
        if (dot == std::string_view::npos) {
            break;
        }
        text.remove_prefix(dot + 1);
        if (text.empty()) {
            return false;
        }
    }
    return parts == 4;
}

// An IPv6 address in brackets: up to eight groups of one to four hex digits, at most one "::",
// the last 32 bits possibly written as an IPv4 address.
bool is_ipv6_literal(std::string_view host) {
    if (host.size() < 4 || host.front() != '[' || host.back() != ']') {
        return false;
    }
    std::string_view text = host.substr(1, host.size() - 2);
    const std::size_t gap = text.find("::");
    if (gap != std::string_view::npos && text.find("::", gap + 1) != std::string_view::npos) {
        return false;
    }
    int groups = 0;
    const auto count_groups = [&](std::string_view side, bool may_end_in_ipv4) {
        if (side.empty()) {
            return true;
        }
        while (true) {
            const std::size_t colon = side.find(':');
            const std::string_view group = side.substr(0, colon);
            if (colon == std::string_view::npos && may_end_in_ipv4 &&
                group.find('.') != std::string_view::npos) {
                groups += 2;
                return is_ipv4_address(group);
            }
            if (group.empty() || group.size() > 4 ||
                !std::all_of(group.begin(), group.end(), is_hex)) {
                return false;
            }
            ++groups;
            if (colon == std::string_view::npos) {
                return true;
            }
            side.remove_prefix(colon + 1);
        }
    };
    if (gap == std::string_view::npos) {
        return count_groups(text, true) && groups == 8;
    }
    return count_groups(text.substr(0, gap), false) && count_groups(text.substr(gap + 2), true) &&
           groups < 8;
}

std::string host_to_ascii(std::string_view host, std::string_view typed) {
    if (std::all_of(host.begin(), host.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        if (!is_ipv6_literal(host) && !std::all_of(host.begin(), host.end(), is_host_char)) {
            malformed(typed, "the host name holds a character no host name may hold");
        }
        return std::string(host);
    }
    UErrorCode status = U_ZERO_ERROR;
    struct IdnaCloser {
        void operator()(UIDNA* idna) const { uidna_close(idna); }
    };
    const std::unique_ptr<UIDNA, IdnaCloser> idna(uidna_openUTS46(
        UIDNA_CHECK_BIDI | UIDNA_CHECK_CONTEXTJ | UIDNA_NONTRANSITIONAL_TO_ASCII, &status));
    if (U_FAILURE(status)) {
        malformed(typed, "IDNA is not available");
    }
    std::string out(host.size() * 4 + 64, '\0');
    UIDNAInfo info = UIDNA_INFO_INITIALIZER;
    const int32_t length =
        uidna_nameToASCII_UTF8(idna.get(), host.data(), static_cast<int32_t>(host.size()),
                               out.data(), static_cast<int32_t>(out.size()), &info, &status);
    if (U_FAILURE(status) || info.errors != 0) {
        malformed(typed, "the host name cannot be converted to ASCII");
    }
    out.resize(static_cast<std::size_t>(length));
    if (out.empty() || !std::all_of(out.begin(), out.end(), is_host_char)) {
        malformed(typed, "the host name cannot be converted to ASCII");
    }
    return out;
}

enum class Part { Path, Query, Userinfo };

// Percent-encodes what a server would not take raw: controls, space, quotes, angle brackets,
// backquote, braces and every non-ASCII byte, and in a user name or password also the
// characters that delimit the parts of an address. An existing %XX stays as it is.
void append_encoded(std::string& out, std::string_view part, Part where) {
    constexpr std::array<char, 16> kHex = {'0', '1', '2', '3', '4', '5', '6', '7',
                                           '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};
    constexpr std::string_view kUserinfoDelimiters = "`{}/:;=@[\\]^|#?";
    for (const char c : part) {
        const auto b = static_cast<unsigned char>(c);
        bool encode = b <= 0x20 || b >= 0x7F || c == '"' || c == '<' || c == '>';
        switch (where) {
            case Part::Path:
                encode = encode || c == '`' || c == '{' || c == '}';
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

}  // namespace

std::string normalize_address(std::string_view typed) {
    std::string_view text = typed;
    while (!text.empty() && is_c0_or_space(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && is_c0_or_space(text.back())) {
        text.remove_suffix(1);
    }
    std::string cleaned;
    cleaned.reserve(text.size());
    for (const char c : text) {
        if (c != '\t' && c != '\n' && c != '\r') {
            cleaned += c;
        }
    }
    if (cleaned.empty()) {
        malformed(typed, "empty address");
    }

    std::string scheme(scheme_of(cleaned));
    std::transform(scheme.begin(), scheme.end(), scheme.begin(), to_lower);
    std::string_view rest = cleaned;
    if (scheme.empty()) {
        scheme = "http";
    } else {
        rest.remove_prefix(scheme.size() + 1);
        if (scheme != "http" && scheme != "https") {
            throw TransferError(CURLE_UNSUPPORTED_PROTOCOL,
                                describe_curl_error(CURLE_UNSUPPORTED_PROTOCOL),
                                "scheme \"" + scheme + "\" in \"" + std::string(typed) + "\"");
        }
    }
    // Any run of slashes (or backslashes) after the scheme introduces the host.
    while (!rest.empty() && (rest.front() == '/' || rest.front() == '\\')) {
        rest.remove_prefix(1);
    }
    const std::size_t authority_end = rest.find_first_of("/\\?#");
    std::string_view authority = rest.substr(0, authority_end);
    std::string_view tail =
        authority_end == std::string_view::npos ? std::string_view() : rest.substr(authority_end);

    std::string_view userinfo;
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        userinfo = authority.substr(0, at + 1);
        authority.remove_prefix(at + 1);
    }
    std::string_view host = authority;
    std::string_view port;
    const std::size_t port_colon =
        host.starts_with('[') ? host.find(':', host.find(']')) : host.rfind(':');
    if (port_colon != std::string_view::npos) {
        port = host.substr(port_colon);
        host = host.substr(0, port_colon);
        const std::string_view digits = port.substr(1);
        if (digits.size() > 5 || !std::all_of(digits.begin(), digits.end(), is_digit) ||
            (!digits.empty() && std::stoul(std::string(digits)) > 65535)) {
            malformed(typed, "the port is not a number from 0 to 65535");
        }
    }
    if (host.empty()) {
        malformed(typed, "no host");
    }

    std::string url = scheme + "://";
    if (!userinfo.empty()) {
        userinfo.remove_suffix(1);  // the '@'
        const std::size_t colon = userinfo.find(':');
        append_encoded(url, userinfo.substr(0, colon), Part::Userinfo);
        if (colon != std::string_view::npos) {
            url += ':';
            append_encoded(url, userinfo.substr(colon + 1), Part::Userinfo);
        }
        url += '@';
    }
    url += host_to_ascii(host, typed);
    url += port;
    if (tail.empty() || (tail.front() != '/' && tail.front() != '\\')) {
        url += '/';
    }
    // The fragment is never sent.
    tail = tail.substr(0, tail.find('#'));
    const std::size_t query_at = tail.find('?');
    std::string path(tail.substr(0, query_at));
    std::replace(path.begin(), path.end(), '\\', '/');
    append_encoded(url, path, Part::Path);
    if (query_at != std::string_view::npos) {
        append_encoded(url, tail.substr(query_at), Part::Query);
    }
    if (url.size() > kMaxUrlBytes) {
        throw TransferError(CURLE_OUT_OF_MEMORY, "网址太长（超过 100 万个字符），无法发送",
                            "the address is " + std::to_string(url.size()) + " bytes long");
    }
    return url;
}

}  // namespace marlowin
