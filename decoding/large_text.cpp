#include "decoding/large_text.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace marlowin {

void reserve_large_text(std::string& text, std::size_t capacity) {
    text.reserve(capacity);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::size_t kWorthIt = std::size_t{8} << 20;
    if (text.capacity() < kWorthIt) {
        return;
    }
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(text.data());
    const std::uintptr_t from = (start + page - 1) / page * page;
    const std::uintptr_t to = (start + text.capacity()) / page * page;
    // Advice only: where it is refused, the text is the same, just slower to fill.
    static_cast<void>(madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE));
#endif
}

}  // namespace marlowin
