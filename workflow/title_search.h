#pragma once

#include <cstddef>
#include <string_view>

namespace marlowin {

/// Where the first "<title>" in @p page starts, or std::string_view::npos. The build picks a
/// vectorised search (title_search_vector.cpp) or the plain one (title_search.cpp).
[[nodiscard]] std::size_t find_title_open(std::string_view page);

}  // namespace marlowin
