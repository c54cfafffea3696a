#pragma once

#include <string_view>

namespace marlowin {

/// Calls @p visit on each non-empty entry of @p list, the entries separated by any of
/// @p separators, until it returns true; whether one did. Proxy settings write their lists so.
template <typename Visit>
bool any_entry(std::string_view list, std::string_view separators, Visit visit) {
    while (!list.empty()) {
        const std::size_t end = list.find_first_of(separators);
        const std::string_view entry = list.substr(0, end);
        list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
        if (!entry.empty() && visit(entry)) {
            return true;
        }
    }
    return false;
}

}  // namespace marlowin
