#include "transfer/windows_proxy_list.h"

#include "base/ascii.h"
#include "base/list_entries.h"

namespace marlowin {

namespace {

// '*' matches any run of characters, ASCII case ignored.
bool wildcard_match(std::string_view pattern, std::string_view text) {
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t star = std::string_view::npos;
    std::size_t resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && ascii::to_lower(pattern[p]) == ascii::to_lower(text[t])) {
            ++p;
            ++t;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

std::string with_scheme(std::string_view value, std::string_view scheme) {
    if (value.find("://") != std::string_view::npos) {
        return std::string(value);
    }
    return std::string(scheme) + "://" + std::string(value);
}

}  // namespace

std::vector<std::string> proxies_from_windows_list(std::string_view list, std::string_view scheme) {
    std::vector<std::string> own;
    std::vector<std::string> shared;
    std::vector<std::string> socks;
    // Entries are separated by semicolons or white space.
    any_entry(list, "; \t\r\n", [&](std::string_view entry) {
        const std::size_t equals = entry.find('=');
        if (equals == std::string_view::npos) {
            shared.push_back(with_scheme(entry, "http"));
            return false;
        }
        const std::string_view name = entry.substr(0, equals);
        const std::string_view value = entry.substr(equals + 1);
        if (value.empty()) {
            return false;
        }
        if (ascii::equal_ignoring_case(name, scheme)) {
            own.push_back(with_scheme(value, "http"));
        } else if (ascii::equal_ignoring_case(name, "socks")) {
            socks.push_back(with_scheme(value, "socks4"));  // WinINet speaks SOCKS 4
        }
        return false;
    });
    own.insert(own.end(), shared.begin(), shared.end());
    own.insert(own.end(), socks.begin(), socks.end());
    return own;
}

bool windows_bypass_covers(std::string_view list, std::string_view host) {
    // Bypass lists also take commas between entries.
    return any_entry(list, "; ,\t\r\n", [host](std::string_view entry) {
        if (ascii::equal_ignoring_case(entry, "<local>")) {
            return host.find('.') == std::string_view::npos && !host.starts_with('[');
        }
        if (const std::size_t scheme_end = entry.find("://");
            scheme_end != std::string_view::npos) {
            entry.remove_prefix(scheme_end + 3);
        }
        // A port after the host, but not the colons of a bare IPv6 address.
        if (const std::size_t colon = entry.rfind(':');
            colon != std::string_view::npos && entry.find(':') == colon) {
            entry = entry.substr(0, colon);
        } else if (entry.starts_with('[') && entry.find("]:") != std::string_view::npos) {
            entry = entry.substr(0, entry.find("]:") + 1);
        }
        return wildcard_match(entry, host);
    });
}

}  // namespace marlowin
