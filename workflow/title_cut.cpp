#include "workflow/title_cut.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>

namespace marlowin {

namespace {

// Finding the first opening marker is the only step that may run through a whole page, and
// markup is full of '<' and '>', which defeats memchr- and Boyer-Moore-style skipping. So 16
// positions are tested at once for '<', 'i' two bytes on and '>' six bytes on; only the rare
// positions that pass all three are compared in full.
#if defined(__GNUC__)
std::size_t find_open_marker(std::string_view page) {
    using Block = unsigned char __attribute__((vector_size(16)));
    constexpr std::size_t kWidth = sizeof(Block);
    constexpr std::size_t kReach = kWidth + kTitleOpen.size() - 1;
    const Block lt = Block{} + static_cast<unsigned char>('<');
    const Block i_ = Block{} + static_cast<unsigned char>('i');
    const Block gt = Block{} + static_cast<unsigned char>('>');

    const char* const data = page.data();
    std::size_t at = 0;
    for (; at + kReach <= page.size(); at += kWidth) {
        Block first;
        Block third;
        Block last;
        std::memcpy(&first, data + at, kWidth);
        std::memcpy(&third, data + at + 2, kWidth);
        std::memcpy(&last, data + at + 6, kWidth);
        const auto hits = (first == lt) & (third == i_) & (last == gt);
        std::uint64_t low = 0;
        std::uint64_t high = 0;
        std::memcpy(&low, &hits, sizeof low);
        std::memcpy(&high, reinterpret_cast<const char*>(&hits) + sizeof low, sizeof high);
        if ((low | high) == 0) {
            continue;
        }
        for (std::size_t k = 0; k < kWidth; ++k) {
            if (hits[k] != 0 && page.substr(at + k).starts_with(kTitleOpen)) {
                return at + k;
            }
        }
    }
    const std::size_t tail = page.substr(at).find(kTitleOpen);
    return tail == std::string_view::npos ? tail : at + tail;
}
#else
std::size_t find_open_marker(std::string_view page) {
    static const std::boyer_moore_horspool_searcher searcher(kTitleOpen.begin(), kTitleOpen.end());
    const auto hit = std::search(page.begin(), page.end(), searcher);
    return hit == page.end() ? std::string_view::npos
                             : static_cast<std::size_t>(hit - page.begin());
}
#endif

}  // namespace

std::optional<std::string_view> cut_title(std::string_view page) {
    const std::size_t open = find_open_marker(page);
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
