#pragma once

#include <optional>
#include <string_view>

namespace marlowin {

/// The markers the title cut looks for: literal, lower case, compared byte for byte.
inline constexpr std::string_view kTitleOpen = "<title>";
inline constexpr std::string_view kTitleClose = "</title>";

/**
 * Cuts the title out of a page: the text after the first "<title>", up to the first
 * "</title>" after it, or up to the next "<title>", or up to the end, whichever comes first.
 *
 * Fails (no value) when the page holds no "<title>", or when nothing follows the first one
 * before the next "<title>" or the end. A "</title>" right after "<title>" succeeds with the
 * empty title. The result is a view into @p page; the page is read only as far as the
 * answer needs and nothing is copied.
 */
[[nodiscard]] std::optional<std::string_view> cut_title(std::string_view page);

}  // namespace marlowin
