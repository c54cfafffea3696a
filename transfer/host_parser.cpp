#include "transfer/host_parser.h"

#include <unicode/uidna.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/ascii.h"
#include "base/c_handle.h"

namespace marlowin {

namespace {

bool is_forbidden_in_domain(char c) {
    const auto b = static_cast<unsigned char>(c);
    constexpr std::string_view kForbidden = " #%/:<>?@[\\]^|";
    return b <= 0x1F || b == 0x7F || kForbidden.find(c) != std::string_view::npos;
}

int hex_value(char c) {
    if (ascii::is_digit(c)) {
        return c - '0';
    }
    const char lower = ascii::to_lower(c);
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// %XX sequences become their bytes; a '%' that starts none stays.
std::string percent_decode(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex_value(text[i + 1]) >= 0 &&
            hex_value(text[i + 2]) >= 0) {
            bytes += static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2]));
            i += 2;
        } else {
            bytes += text[i];
        }
    }
    return bytes;
}

// UTS #46 ToASCII as browsers run it: CheckBidi and CheckJoiners on, non-transitional, and
// the errors of the checks they leave off (hyphens, DNS lengths) ignored. Bytes that are not
// UTF-8 become U+FFFD on the way, which no domain may hold.
std::optional<std::string> domain_to_ascii(const std::string& domain) {
    constexpr uint32_t kUnchecked = UIDNA_ERROR_EMPTY_LABEL | UIDNA_ERROR_LABEL_TOO_LONG |
                                    UIDNA_ERROR_DOMAIN_NAME_TOO_LONG | UIDNA_ERROR_LEADING_HYPHEN |
                                    UIDNA_ERROR_TRAILING_HYPHEN | UIDNA_ERROR_HYPHEN_3_4;
    UErrorCode status = U_ZERO_ERROR;
    const CHandle<UIDNA, uidna_close> idna(uidna_openUTS46(
        UIDNA_CHECK_BIDI | UIDNA_CHECK_CONTEXTJ | UIDNA_NONTRANSITIONAL_TO_ASCII, &status));
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    std::string out(domain.size() * 4 + 64, '\0');
    UIDNAInfo info = UIDNA_INFO_INITIALIZER;
    const int32_t length =
        uidna_nameToASCII_UTF8(idna.get(), domain.data(), static_cast<int32_t>(domain.size()),
                               out.data(), static_cast<int32_t>(out.size()), &info, &status);
    if (U_FAILURE(status) || (info.errors & ~kUnchecked) != 0) {
        return std::nullopt;
    }
    out.resize(static_cast<std::size_t>(length));
    return out;
}

std::vector<std::string_view> split_on_dots(std::string_view text) {
    std::vector<std::string_view> parts;
    for (std::size_t from = 0;;) {
        const std::size_t dot = text.find('.', from);
        parts.push_back(text.substr(from, dot - from));
        if (dot == std::string_view::npos) {
            return parts;
        }
        from = dot + 1;
    }
}

// One part of an IPv4 address: decimal, octal after a leading 0, hexadecimal after 0x.
// Values past 2^32 are all alike here: too large.
std::optional<std::uint64_t> ipv4_number(std::string_view part) {
    if (part.empty()) {
        return std::nullopt;
    }
    int radix = 10;
    if (part.size() >= 2 && part[0] == '0' && (part[1] == 'x' || part[1] == 'X')) {
        radix = 16;
        part.remove_prefix(2);
    } else if (part.size() >= 2 && part[0] == '0') {
        radix = 8;
        part.remove_prefix(1);
    }
    constexpr std::uint64_t kTooLarge = std::uint64_t{1} << 33;
    std::uint64_t value = 0;
    for (const char c : part) {
        const int digit = hex_value(c);
        if (digit < 0 || digit >= radix) {
            return std::nullopt;
        }
        value = std::min(value * static_cast<std::uint64_t>(radix) + static_cast<unsigned>(digit),
                         kTooLarge);
    }
    return value;
}

bool ends_in_a_number(std::string_view domain) {
    std::vector<std::string_view> parts = split_on_dots(domain);
    if (parts.back().empty()) {
        if (parts.size() == 1) {
            return false;
        }
        parts.pop_back();
    }
    const std::string_view last = parts.back();
    if (!last.empty() && std::all_of(last.begin(), last.end(), ascii::is_digit)) {
        return true;
    }
    return ipv4_number(last).has_value();
}

std::optional<std::string> ipv4_address(std::string_view domain) {
    std::vector<std::string_view> parts = split_on_dots(domain);
    if (parts.back().empty() && parts.size() > 1) {
        parts.pop_back();
    }
    if (parts.size() > 4) {
        return std::nullopt;
    }
    std::vector<std::uint64_t> numbers;
    for (const std::string_view part : parts) {
        const std::optional<std::uint64_t> number = ipv4_number(part);
        if (!number) {
            return std::nullopt;
        }
        numbers.push_back(*number);
    }
    if (std::any_of(numbers.begin(), numbers.end() - 1, [](std::uint64_t n) { return n > 255; }) ||
        numbers.back() >= (std::uint64_t{1} << (8 * (5 - numbers.size())))) {
        return std::nullopt;
    }
    std::uint64_t address = numbers.back();
    for (std::size_t i = 0; i + 1 < numbers.size(); ++i) {
        address += numbers[i] << (8 * (3 - i));
    }
    return std::to_string(address >> 24) + '.' + std::to_string((address >> 16) & 0xFF) + '.' +
           std::to_string((address >> 8) & 0xFF) + '.' + std::to_string(address & 0xFF);
}

}  // namespace

std::optional<std::string> parse_host(std::string_view host) {
    if (host.starts_with('[')) {
        // IPv6: hex digits, colons and the dots of an IPv4 tail only (no zone, which the URL
        // Standard does not take); libcurl's parser judges the rest, as it will when fetching.
        if (host.size() < 2 || !host.ends_with(']')) {
            return std::nullopt;
        }
        const std::string_view inside = host.substr(1, host.size() - 2);
        const bool allowed = std::all_of(inside.begin(), inside.end(), [](char c) {
            return hex_value(c) >= 0 || c == ':' || c == '.';
        });
        return allowed ? std::optional<std::string>(host) : std::nullopt;
    }
    if (host.empty()) {
        return std::nullopt;
    }
    std::string domain = percent_decode(host);
    std::optional<std::string> ascii_domain;
    if (std::all_of(domain.begin(), domain.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        // Lowercased whatever UTS #46 would say, as browsers must for the web's sake.
        std::transform(domain.begin(), domain.end(), domain.begin(), ascii::to_lower);
        ascii_domain = std::move(domain);
    } else {
        ascii_domain = domain_to_ascii(domain);
    }
    if (!ascii_domain || ascii_domain->empty() ||
        std::any_of(ascii_domain->begin(), ascii_domain->end(), is_forbidden_in_domain)) {
        return std::nullopt;
    }
    if (ends_in_a_number(*ascii_domain)) {
        return ipv4_address(*ascii_domain);
    }
    return ascii_domain;
}

}  // namespace marlowin
