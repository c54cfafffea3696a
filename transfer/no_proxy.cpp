#include "transfer/no_proxy.h"

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <sys/socket.h>
#endif

#include <array>
#include <charconv>
#include <string>

#include "base/ascii.h"
#include "base/list_entries.h"

namespace marlowin {

namespace {

template <std::size_t Size>
bool parse_address(int family, std::string_view text, std::array<unsigned char, Size>& bytes) {
    const std::string terminated(text);
    return inet_pton(family, terminated.c_str(), bytes.data()) == 1;
}

// Whether @p host, an address of @p family, lies in the network @p entry names, with or without
// a prefix length.
template <std::size_t Size>
bool address_matches(int family, std::string_view host, std::string_view entry) {
    std::size_t bits = Size * 8;
    if (const std::size_t slash = entry.find('/'); slash != std::string_view::npos) {
        const std::string_view length = entry.substr(slash + 1);
        if (std::from_chars(length.data(), length.data() + length.size(), bits).ptr !=
                length.data() + length.size() ||
            bits > Size * 8) {
            return false;
        }
        entry = entry.substr(0, slash);
    }
    std::array<unsigned char, Size> address{};
    std::array<unsigned char, Size> network{};
    if (!parse_address(family, host, address) || !parse_address(family, entry, network)) {
        return false;
    }
    for (std::size_t i = 0; i < Size && bits > 0; ++i, bits -= std::min<std::size_t>(bits, 8)) {
        const auto mask = static_cast<unsigned char>(0xFF << (8 - std::min<std::size_t>(bits, 8)));
        if (((address[i] ^ network[i]) & mask) != 0) {
            return false;
        }
    }
    return true;
}

bool name_matches(std::string_view host, std::string_view entry) {
    if (entry.ends_with('.')) {
        entry.remove_suffix(1);
    }
    if (entry.starts_with('.')) {
        entry.remove_prefix(1);
    }
    if (entry.size() == host.size()) {
        return ascii::equal_ignoring_case(entry, host);
    }
    return entry.size() < host.size() && host[host.size() - entry.size() - 1] == '.' &&
           ascii::ends_with_ignoring_case(host, entry);
}

}  // namespace

bool no_proxy_covers(std::string_view list, std::string_view host) {
    if (list == "*") {
        return true;
    }
    std::array<unsigned char, 4> ipv4{};
    const bool is_ipv6 = host.starts_with('[') && host.ends_with(']');
    const bool is_ipv4 = !is_ipv6 && parse_address(AF_INET, host, ipv4);
    if (is_ipv6) {
        host = host.substr(1, host.size() - 2);
    } else if (!is_ipv4 && host.ends_with('.')) {
        host.remove_suffix(1);
    }
    return any_entry(list, ", \t", [&](std::string_view entry) {
        if (is_ipv6) {
            // Also written as in an address: "[fd00::1]", "[fd00::]/8".
            if (const std::size_t close = entry.find(']');
                entry.starts_with('[') && close != std::string_view::npos) {
                const std::string unbracketed =
                    std::string(entry.substr(1, close - 1)) + std::string(entry.substr(close + 1));
                return address_matches<16>(AF_INET6, host, unbracketed);
            }
            return address_matches<16>(AF_INET6, host, entry);
        }
        return is_ipv4 ? address_matches<4>(AF_INET, host, entry) : name_matches(host, entry);
    });
}

}  // namespace marlowin
