#include "workflow/title_cut.h"

#include "workflow/title_search.h"

namespace marlowin {

std::optional<std::string_view> cut_title(std::string_view page) {
    const std::size_t open = find_title_open(page);
    if (open == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view rest = page.substr(open + kTitleOpen.size());

    // Neither marker can overlap itself or the other, so the first '<' that starts either of
    // them ends the title: "</title>" closes it, a second "<title>" ends the piece it lies in.
    for (std::size_t at = rest.find('<'); at != std::string_view::npos;
         at = rest.find('<', at + 1)) {
        const std::string_view tail = rest.substr(at);
        if (tail.starts_with(kTitleClose)) {
            return rest.substr(0, at);
        }
        if (tail.starts_with(kTitleOpen)) {
            if (at == 0) {
                return std::nullopt;  // nothing between the first two opening markers
            }
            return rest.substr(0, at);
        }
    }
    if (rest.empty()) {
        return std::nullopt;  // the page ends with its first opening marker
    }
    return rest;
}

}  // namespace marlowin
