#include <cstdint>
#include <cstring>

#include "base/processor.h"
#include "workflow/title_cut.h"
#include "workflow/title_search.h"

namespace marlowin {

namespace {

// Markup is full of '<' and '>', which defeats memchr- and Boyer-Moore-style skipping. So a
// block of positions is tested at once for '<', 'i' two bytes on and '>' six bytes on; only
// the rare positions that pass all three are compared in full. Where the processor has AVX2,
// blocks of 32, which keeps up with memchr; else blocks of 16.
template <typename Block>
inline std::size_t find_in_blocks(std::string_view page) {
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
        std::uint64_t any = 0;
        for (std::size_t word = 0; word < kWidth; word += sizeof any) {
            std::uint64_t part = 0;
            std::memcpy(&part, reinterpret_cast<const char*>(&hits) + word, sizeof part);
            any |= part;
        }
        if (any == 0) {
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

using Block16 = unsigned char __attribute__((vector_size(16)));
using Block32 = unsigned char __attribute__((vector_size(32)));

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) std::size_t find_avx2(std::string_view page) {
    return find_in_blocks<Block32>(page);
}
#endif

}  // namespace

std::size_t find_title_open(std::string_view page) {
#if defined(__x86_64__) || defined(__i386__)
    if (processor::has_avx2()) {
        return find_avx2(page);
    }
#endif
    return find_in_blocks<Block16>(page);
}

}  // namespace marlowin
