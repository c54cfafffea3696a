#pragma once

namespace marlowin::processor {

/// Whether this processor runs AVX2 instructions, for the code that has a version with them;
/// asked of the processor once.
inline bool has_avx2() {
#if defined(__x86_64__) || defined(__i386__)
    static const bool answer = __builtin_cpu_supports("avx2") != 0;
    return answer;
#else
    return false;
#endif
}

}  // namespace marlowin::processor
