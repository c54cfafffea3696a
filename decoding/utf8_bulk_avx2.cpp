#include <immintrin.h>

#include <cstring>

#include "base/processor.h"
#include "decoding/utf8_bulk.h"

namespace marlowin {

namespace {

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

}  // namespace

BulkCheck check_utf8_in_bulk(const unsigned char* data, std::size_t length) {
    if (!processor::has_avx2()) {
        return BulkCheck::Unavailable;
    }
    return validate_avx2(data, length) ? BulkCheck::WellFormed : BulkCheck::IllFormed;
}

}  // namespace marlowin
