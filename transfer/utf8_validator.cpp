#include "transfer/utf8_validator.h"

#include <cstring>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define MARLOWIN_UTF8_AVX2 1
#endif

namespace marlowin {

namespace {

#ifdef MARLOWIN_UTF8_AVX2

// Validation 32 bytes at a time after Keiser and Lemire, "Validating UTF-8 in less than one
// instruction per byte" (2021): three table look-ups on the high and low nibbles of each
// byte and its predecessor flag every ill-formed two-byte pattern, and the positions that
// must be third or fourth bytes are checked against the continuation bytes found.
constexpr char kTooShort = 1 << 0;
constexpr char kTooLong = 1 << 1;
constexpr char kOverlong3 = 1 << 2;
constexpr char kTooLarge = 1 << 3;
constexpr char kSurrogate = 1 << 4;
constexpr char kOverlong2 = 1 << 5;
constexpr char kTooLarge1000 = 1 << 6;
constexpr char kOverlong4 = 1 << 6;
constexpr char kTwoConts = static_cast<char>(1 << 7);
constexpr char kCarry = kTooShort | kTooLong | kTwoConts;

__attribute__((target("avx2"))) inline __m256i lookup(__m256i table, __m256i nibbles) {
    return _mm256_shuffle_epi8(table, nibbles);
}

template <int N>
__attribute__((target("avx2"))) inline __m256i previous(__m256i input, __m256i prev_input) {
    return _mm256_alignr_epi8(input, _mm256_permute2x128_si256(prev_input, input, 0x21), 16 - N);
}

#define MARLOWIN_TABLE(...) _mm256_setr_epi8(__VA_ARGS__, __VA_ARGS__)

__attribute__((target("avx2"))) bool validate_avx2(const unsigned char* data, std::size_t length) {
    const __m256i byte_1_high = MARLOWIN_TABLE(
        kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTwoConts,
        kTwoConts, kTwoConts, kTwoConts, kTooShort | kOverlong2, kTooShort,
        kTooShort | kOverlong3 | kSurrogate, kTooShort | kTooLarge | kTooLarge1000 | kOverlong4);
    constexpr char kLarge = kCarry | kTooLarge | kTooLarge1000;
    const __m256i byte_1_low =
        MARLOWIN_TABLE(kCarry | kOverlong3 | kOverlong2 | kOverlong4, kCarry | kOverlong2, kCarry,
                       kCarry, kCarry | kTooLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge,
                       kLarge, kLarge, kLarge | kSurrogate, kLarge, kLarge);
    const __m256i byte_2_high = MARLOWIN_TABLE(
        kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
        kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4,
        kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge,
        kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,
        kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge, kTooShort, kTooShort, kTooShort,
        kTooShort);
    // A block ending in a lead byte whose sequence cannot fit is incomplete.
    const __m256i max_value =
        _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                         -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, static_cast<char>(0xF0 - 1),
                         static_cast<char>(0xE0 - 1), static_cast<char>(0xC0 - 1));
    const __m256i low_nibble = _mm256_set1_epi8(0x0F);

    __m256i error = _mm256_setzero_si256();
    __m256i prev_input = _mm256_setzero_si256();
    __m256i prev_incomplete = _mm256_setzero_si256();
    const auto check_block = [&](__m256i input) __attribute__((target("avx2"))) {
        if (_mm256_movemask_epi8(input) == 0) {
            error = _mm256_or_si256(error, prev_incomplete);
            prev_incomplete = _mm256_setzero_si256();
        } else {
            const __m256i prev1 = previous<1>(input, prev_input);
            const __m256i special = _mm256_and_si256(
                _mm256_and_si256(
                    lookup(byte_1_high, _mm256_and_si256(_mm256_srli_epi16(prev1, 4), low_nibble)),
                    lookup(byte_1_low, _mm256_and_si256(prev1, low_nibble))),
                lookup(byte_2_high, _mm256_and_si256(_mm256_srli_epi16(input, 4), low_nibble)));
            const __m256i third = _mm256_subs_epu8(
                previous<2>(input, prev_input), _mm256_set1_epi8(static_cast<char>(0xE0 - 0x80)));
            const __m256i fourth = _mm256_subs_epu8(
                previous<3>(input, prev_input), _mm256_set1_epi8(static_cast<char>(0xF0 - 0x80)));
            const __m256i must_continue = _mm256_and_si256(
                _mm256_or_si256(third, fourth), _mm256_set1_epi8(static_cast<char>(0x80)));
            error = _mm256_or_si256(error, _mm256_xor_si256(must_continue, special));
            prev_incomplete = _mm256_subs_epu8(input, max_value);
        }
        prev_input = input;
    };

    std::size_t at = 0;
    for (; at + 32 <= length; at += 32) {
        check_block(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + at)));
    }
    if (at < length) {
        unsigned char tail[32] = {};  // zero padding reads as ASCII after the last byte
        std::memcpy(tail, data + at, length - at);
        check_block(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(tail)));
    }
    error = _mm256_or_si256(error, prev_incomplete);
    return _mm256_testz_si256(error, error) != 0;
}

#undef MARLOWIN_TABLE

bool cpu_has_avx2() {
    static const bool has = __builtin_cpu_supports("avx2") != 0;
    return has;
}

#endif

// How far back from the end a character may still be incomplete: the returned length covers
// only whole characters (or bytes that are invalid anyway), so it can be checked on its own.
std::size_t whole_characters(const unsigned char* data, std::size_t length) {
    for (std::size_t back = 1; back <= 3 && back <= length; ++back) {
        const unsigned char b = data[length - back];
        if ((b & 0xC0) == 0x80) {
            continue;  // a continuation byte: look further back for its lead
        }
        if (b >= 0xC0) {
            const std::size_t size = b >= 0xF0 ? 4 : (b >= 0xE0 ? 3 : 2);
            if (size > back) {
                return length - back;
            }
        }
        break;
    }
    return length;
}

}  // namespace

void Utf8Validator::feed(std::string_view bytes) {
    if (failed_) {
        return;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();

#ifdef MARLOWIN_UTF8_AVX2
    // Finish a character left open by the previous piece, then check the whole characters
    // of this piece in bulk; what is left (at most three bytes) goes through the scalar path
    // below so it can carry over to the next piece.
    while (needed_ > 0 && p < end) {
        if (!accept_continuation(*p++)) {
            return;
        }
    }
    if (needed_ == 0 && end - p >= 64 && cpu_has_avx2()) {
        const std::size_t whole = whole_characters(p, static_cast<std::size_t>(end - p));
        if (!validate_avx2(p, whole)) {
            failed_ = true;
            return;
        }
        p += whole;
    }
#endif

    while (p < end) {
        if (needed_ == 0) {
            // Most pages are mostly ASCII: skip eight bytes at a time while none has its top bit.
            while (end - p >= 8) {
                std::uint64_t word = 0;
                std::memcpy(&word, p, sizeof word);
                if ((word & 0x8080808080808080ULL) != 0) {
                    break;
                }
                p += 8;
            }
            if (p == end) {
                break;
            }
            const unsigned char b = *p++;
            if (b < 0x80) {
                continue;
            }
            // Lead bytes and the range of the first continuation byte, following the table
            // of well-formed sequences in the Unicode standard.
            lower_ = 0x80;
            upper_ = 0xBF;
            if (b >= 0xC2 && b <= 0xDF) {
                needed_ = 1;
            } else if (b >= 0xE0 && b <= 0xEF) {
                needed_ = 2;
                lower_ = b == 0xE0 ? 0xA0 : 0x80;
                upper_ = b == 0xED ? 0x9F : 0xBF;
            } else if (b >= 0xF0 && b <= 0xF4) {
                needed_ = 3;
                lower_ = b == 0xF0 ? 0x90 : 0x80;
                upper_ = b == 0xF4 ? 0x8F : 0xBF;
            } else {
                failed_ = true;
                return;
            }
            continue;
        }
        if (!accept_continuation(*p++)) {
            return;
        }
    }
}

bool Utf8Validator::accept_continuation(unsigned char b) {
    if (b < lower_ || b > upper_) {
        failed_ = true;
        return false;
    }
    lower_ = 0x80;
    upper_ = 0xBF;
    --needed_;
    return true;
}

bool is_valid_utf8(std::string_view bytes) {
    Utf8Validator validator;
    validator.feed(bytes);
    return validator.valid();
}

}  // namespace marlowin
