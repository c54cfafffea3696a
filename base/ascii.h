#pragma once

#include <string_view>

/// ASCII character classes as the HTML, URL and Encoding standards define them: never locale
/// dependent, and bytes above 0x7F are in none of them.
namespace marlowin::ascii {

constexpr bool is_whitespace(char c) {
    return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}
constexpr bool is_alpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
constexpr bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
constexpr char to_lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

/// Whether @p text starts with @p lower_prefix (given in lower case), ignoring ASCII case.
constexpr bool starts_with_ignoring_case(std::string_view text, std::string_view lower_prefix) {
    if (text.size() < lower_prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < lower_prefix.size(); ++i) {
        if (to_lower(text[i]) != lower_prefix[i]) {
            return false;
        }
    }
    return true;
}

/// Whether @p text ends with @p suffix, ignoring ASCII case.
constexpr bool ends_with_ignoring_case(std::string_view text, std::string_view suffix);

/// @p text without the ASCII whitespace at either end.
constexpr std::string_view trim(std::string_view text) {
    while (!text.empty() && is_whitespace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && is_whitespace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

/// Whether @p a and @p b are equal, ignoring ASCII case.
constexpr bool equal_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (to_lower(a[i]) != to_lower(b[i])) {
            return false;
        }
    }
    return true;
}

constexpr bool ends_with_ignoring_case(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           equal_ignoring_case(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace marlowin::ascii
