#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marlowin::testing {

/// Splits as the Split operation does: no pieces for an empty text, the whole text when the
/// marker is absent, otherwise the texts around each non-overlapping occurrence, found left
/// to right.
inline std::vector<std::string> split_pieces(std::string_view text, std::string_view marker) {
    if (text.empty()) {
        return {};
    }
    std::vector<std::string> pieces;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(marker, from)) != std::string_view::npos;) {
        pieces.emplace_back(text.substr(from, at - from));
        from = at + marker.size();
    }
    pieces.emplace_back(text.substr(from));
    return pieces;
}

/// The title cut written literally from the split rules: piece 1 at "<title>", then piece 0
/// of that at "</title>"; a missing piece fails the cut. Slow on purpose: it is the yardstick.
inline std::optional<std::string> reference_cut(std::string_view page) {
    const auto outer = split_pieces(page, "<title>");
    const auto inner = outer.size() < 2 ? outer : split_pieces(outer[1], "</title>");
    if (outer.size() < 2 || inner.empty()) {
        return std::nullopt;
    }
    return inner[0];
}

}  // namespace marlowin::testing
