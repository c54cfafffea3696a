#include "base/large_text.h"

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
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    char* const start = text.data();
    const std::size_t skip = (page - reinterpret_cast<std::uintptr_t>(start) % page) % page;
    const std::size_t length = (text.capacity() - skip) / page * page;
    // Advice only: where it is refused, the text is the same, just slower to fill.
    static_cast<void>(madvise(start + skip, length, MADV_HUGEPAGE));
#endif
}

}  // namespace marlowin
