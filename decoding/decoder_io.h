#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stop_token>
#include <string>
#include <string_view>

#include "base/large_text.h"
#include "decoding/decode_result.h"
#include "decoding/decoding_error.h"

// The few steps every byte of a page passes through; compilers left them out of line.
#if defined(__GNUC__)
#define MARLOWIN_HOT_STEP [[gnu::always_inline]] inline
#else
#define MARLOWIN_HOT_STEP inline
#endif

namespace marlowin::decoder_io {

// A stop request is looked at after every this many bytes: often enough to stop within
// milliseconds, rarely enough to cost nothing.
inline constexpr std::size_t kStopCheckBytes = std::size_t{1} << 16;

/// The most UTF-8 that decoding @p length bytes can give: three bytes for each byte (a U+FFFD
/// or a BMP character from a single byte). Reserved up front, the text never moves while it
/// grows: moving a hundred megabytes takes long enough to miss a stop request. Only what is
/// written becomes resident, so the reserve costs address space, not memory.
[[nodiscard]] constexpr std::size_t utf8_size_bound(std::size_t length) {
    return 3 * length;
}

/// The decoded text as it grows, and the errors met on the way. Code points are written into a
/// small buffer first and go into the text a few thousand bytes at a time, so that writing one
/// costs a store or three rather than a string append.
class TextOut {
public:
    explicit TextOut(std::size_t input_size) {
        reserve_large_text(text_, utf8_size_bound(input_size));
    }

    MARLOWIN_HOT_STEP void put(char32_t cp) {
        if (used_ > kStage - 4) {
            flush();
        }
        char* out = stage_.data() + used_;
        if (cp < 0x80) {
            out[0] = static_cast<char>(cp);
            used_ += 1;
        } else if (cp < 0x800) {
            out[0] = static_cast<char>(0xC0 | (cp >> 6));
            out[1] = static_cast<char>(0x80 | (cp & 0x3F));
            used_ += 2;
        } else if (cp < 0x10000) {
            out[0] = static_cast<char>(0xE0 | (cp >> 12));
            out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out[2] = static_cast<char>(0x80 | (cp & 0x3F));
            used_ += 3;
        } else {
            out[0] = static_cast<char>(0xF0 | (cp >> 18));
            out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out[3] = static_cast<char>(0x80 | (cp & 0x3F));
            used_ += 4;
        }
    }
    /// Bytes that are their own UTF-8 (ASCII).
    void put_ascii(const char* bytes, std::size_t count) {
        if (count <= kStage - used_) {
            std::memcpy(stage_.data() + used_, bytes, count);
            used_ += count;
            return;
        }
        flush();
        text_.append(bytes, count);
    }
    void error() {
        put(0xFFFD);
        ++malformed_;
    }
    DecodeResult finish() {
        flush();
        return {std::move(text_), malformed_};
    }

private:
    static constexpr std::size_t kStage = 4096;

    void flush() {
        text_.append(stage_.data(), used_);
        used_ = 0;
    }

    std::string text_;
    std::size_t malformed_ = 0;
    std::size_t used_ = 0;
    std::array<char, kStage> stage_;
};

/// The input, read a byte at a time; a decoder "restores" bytes by not stepping over them, or
/// by stepping back.
class Reader {
public:
    Reader(std::string_view bytes, const std::stop_token& stop) : bytes_(bytes), stop_(stop) {}

    /// Whether the input is used up; throws DecodingCancelled once a stop is requested.
    [[nodiscard]] bool done() {
        if (at_ >= next_check_) {
            if (stop_.stop_requested()) {
                throw DecodingCancelled();
            }
            next_check_ = at_ + kStopCheckBytes;
        }
        return at_ >= bytes_.size();
    }
    /// The byte @p ahead places on, or -1 past the end.
    [[nodiscard]] int peek(std::size_t ahead = 0) const {
        return at_ + ahead < bytes_.size() ? static_cast<unsigned char>(bytes_[at_ + ahead]) : -1;
    }
    [[nodiscard]] const char* here() const { return bytes_.data() + at_; }
    /// How many ASCII bytes follow from here, up to the next stop check; eight at a time.
    [[nodiscard]] std::size_t ascii_run() const {
        const std::size_t limit = std::min(bytes_.size(), next_check_) - at_;
        const char* from = here();
        std::size_t count = 0;
        for (std::uint64_t word = 0; count + 8 <= limit; count += 8) {
            std::memcpy(&word, from + count, 8);
            if ((word & 0x8080808080808080U) != 0) {
                break;
            }
        }
        while (count < limit && static_cast<unsigned char>(from[count]) < 0x80) {
            ++count;
        }
        return count;
    }
    void skip(std::size_t count) { at_ += count; }
    void back(std::size_t count) { at_ -= count; }
    void to_end() { at_ = bytes_.size(); }

private:
    std::string_view bytes_;
    const std::stop_token& stop_;
    std::size_t at_ = 0;
    std::size_t next_check_ = 0;
};

MARLOWIN_HOT_STEP bool between(int byte, int from, int to) {
    return byte >= from && byte <= to;
}

/// A byte that starts no sequence here, or a sequence cut off by the end: U+FFFD, and reading
/// goes on with the next byte.
inline void reject(Reader& in, TextOut& out) {
    out.error();
    in.skip(1);
}

/// One code point read from @p count bytes.
MARLOWIN_HOT_STEP void accept(Reader& in, TextOut& out, char32_t code_point, std::size_t count) {
    out.put(code_point);
    in.skip(count);
}

/// The loop every ASCII-compatible decoder shares: runs of ASCII bytes are copied as they are,
/// and @p sequence reads one sequence from a lead byte of 0x80 or above.
template <typename Sequence>
void decode_sequences(Reader& in, TextOut& out, const Sequence& sequence) {
    while (!in.done()) {
        const int lead = in.peek();
        if (lead < 0x80) {
            const std::size_t run = in.ascii_run();
            out.put_ascii(in.here(), run);
            in.skip(run);
        } else {
            sequence(lead);
        }
    }
}

}  // namespace marlowin::decoder_io
