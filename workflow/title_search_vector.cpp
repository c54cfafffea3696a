#include <cstdint>
#include <cstring>

#include "workflow/title_cut.h"
#include "workflow/title_search.h"

namespace marlowin {

// Markup is full of '<' and '>', which defeats memchr- and Boyer-Moore-style skipping. So 16
// positions are tested at once for '<', 'i' two bytes on and '>' six bytes on; only the rare
// positions that pass all three are compared in full.
std::size_t find_title_open(std::string_view page) {
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

}  // namespace marlowin
