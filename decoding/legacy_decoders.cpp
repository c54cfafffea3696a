#include "decoding/legacy_decoders.h"

#include <array>
#include <cstdint>
#include <string>

#include "decoding/decoding_error.h"
#include "decoding/icu_decoder.h"
#include "decoding/index_tables.h"

namespace marlowin {

namespace {

// A stop request is looked at after every this many bytes: often enough to stop within
// milliseconds, rarely enough to cost nothing.
constexpr std::size_t kStopCheckBytes = std::size_t{1} << 16;

// The decoded text as it grows, and the errors met on the way.
class TextOut {
public:
    explicit TextOut(std::size_t input_size) { text_.reserve(utf8_size_bound(input_size)); }

    void put(char32_t cp) {
        if (cp < 0x80) {
            text_ += static_cast<char>(cp);
        } else if (cp < 0x800) {
            const char bytes[] = {static_cast<char>(0xC0 | (cp >> 6)),
                                  static_cast<char>(0x80 | (cp & 0x3F))};
            text_.append(bytes, 2);
        } else if (cp < 0x10000) {
            const char bytes[] = {static_cast<char>(0xE0 | (cp >> 12)),
                                  static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                                  static_cast<char>(0x80 | (cp & 0x3F))};
            text_.append(bytes, 3);
        } else {
            const char bytes[] = {static_cast<char>(0xF0 | (cp >> 18)),
                                  static_cast<char>(0x80 | ((cp >> 12) & 0x3F)),
                                  static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                                  static_cast<char>(0x80 | (cp & 0x3F))};
            text_.append(bytes, 4);
        }
    }
    void error() {
        put(0xFFFD);
        ++malformed_;
    }
    DecodeResult finish() { return {std::move(text_), malformed_}; }

private:
    std::string text_;
    std::size_t malformed_ = 0;
};

// The input, read a byte at a time; a decoder "restores" bytes by stepping back.
class Reader {
public:
    Reader(std::string_view bytes, const std::stop_token& stop) : bytes_(bytes), stop_(stop) {}

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
    void skip(std::size_t count) { at_ += count; }
    void to_end() { at_ = bytes_.size(); }

private:
    std::string_view bytes_;
    const std::stop_token& stop_;
    std::size_t at_ = 0;
    std::size_t next_check_ = 0;
};

bool between(int byte, int from, int to) {
    return byte >= from && byte <= to;
}

char32_t lookup(const IndexTable& index, std::size_t pointer) {
    return pointer < index.size() ? index[pointer] : 0;
}

// A two-byte sequence whose pointer has no code point (0 if none): an error, after which an
// ASCII trail byte is read again. With the lead alone at the end, the end is the error.
void two_byte(Reader& in, TextOut& out, char32_t code_point) {
    const int trail = in.peek(1);
    if (code_point != 0) {
        out.put(code_point);
        in.skip(2);
    } else {
        out.error();
        in.skip(trail >= 0 && trail < 0x80 ? 1 : 2);
    }
}

// A byte that starts no sequence here, or a lead byte at the end: U+FFFD, and reading goes on
// with the next byte.
void reject(Reader& in, TextOut& out) {
    out.error();
    in.skip(1);
}

// One code point read from @p count bytes.
void accept(Reader& in, TextOut& out, char32_t code_point, std::size_t count) {
    out.put(code_point);
    in.skip(count);
}

// The loop every legacy decoder shares: ASCII bytes are themselves in all of them, and
// @p sequence reads one sequence from a lead byte of 0x80 or above.
template <typename Sequence>
void decode_sequences(Reader& in, TextOut& out, const Sequence& sequence) {
    while (!in.done()) {
        const int lead = in.peek();
        if (lead < 0x80) {
            accept(in, out, static_cast<char32_t>(lead), 1);
        } else {
            sequence(lead);
        }
    }
}

void single_byte(Reader& in, TextOut& out, const std::array<char32_t, 128>& index) {
    decode_sequences(in, out, [&](int b) {
        if (const char32_t code_point = index[static_cast<std::size_t>(b - 0x80)];
            code_point != 0) {
            accept(in, out, code_point, 1);
        } else {
            reject(in, out);
        }
    });
}

void user_defined(Reader& in, TextOut& out) {
    decode_sequences(in, out,
                     [&](int b) { accept(in, out, static_cast<char32_t>(0xF780 + b - 0x80), 1); });
}

// The index gb18030 ranges code point of a four-byte pointer, 0 where there is none.
char32_t gb18030_ranges(std::size_t pointer) {
    if (pointer >= 189000 && pointer <= 1237575) {
        return static_cast<char32_t>(0x10000 + pointer - 189000);
    }
    return lookup(gb18030_ranges_index(), pointer);
}

void gb18030(Reader& in, TextOut& out) {
    const IndexTable& index = gb18030_index();
    static_cast<void>(gb18030_ranges_index());
    decode_sequences(in, out, [&](int first) {
        if (first == 0x80) {
            accept(in, out, 0x20AC, 1);
            return;
        }
        const int second = in.peek(1);
        if (first == 0xFF || second < 0) {
            reject(in, out);
            return;
        }
        if (between(second, 0x30, 0x39)) {
            const int third = in.peek(2);
            const int fourth = in.peek(3);
            if (third < 0 || (between(third, 0x81, 0xFE) && fourth < 0)) {
                out.error();  // the end, in the middle of a four-byte sequence
                in.to_end();
                return;
            }
            char32_t code_point = 0;
            if (between(third, 0x81, 0xFE) && between(fourth, 0x30, 0x39)) {
                code_point = gb18030_ranges(
                    ((static_cast<std::size_t>(first - 0x81) * 10 + (second - 0x30)) * 126 +
                     (third - 0x81)) *
                        10 +
                    (fourth - 0x30));
            }
            if (code_point != 0) {
                accept(in, out, code_point, 4);
            } else {
                reject(in, out);  // the second, third and fourth bytes are read again
            }
            return;
        }
        char32_t code_point = 0;
        if (between(second, 0x40, 0x7E) || between(second, 0x80, 0xFE)) {
            code_point = lookup(index, static_cast<std::size_t>(first - 0x81) * 190 +
                                           (second - (second < 0x7F ? 0x40 : 0x41)));
        }
        two_byte(in, out, code_point);
    });
}

void big5(Reader& in, TextOut& out) {
    const IndexTable& index = big5_index();
    decode_sequences(in, out, [&](int lead) {
        const int trail = in.peek(1);
        if (!between(lead, 0x81, 0xFE) || trail < 0) {
            reject(in, out);
            return;
        }
        std::size_t pointer = SIZE_MAX;
        if (between(trail, 0x40, 0x7E) || between(trail, 0xA1, 0xFE)) {
            pointer = static_cast<std::size_t>(lead - 0x81) * 157 +
                      (trail - (trail < 0x7F ? 0x40 : 0x62));
        }
        // Four pointers read a letter and a combining mark.
        if (pointer == 1133 || pointer == 1135 || pointer == 1164 || pointer == 1166) {
            out.put(pointer < 1164 ? 0x00CA : 0x00EA);
            accept(in, out, pointer == 1133 || pointer == 1164 ? 0x0304 : 0x030C, 2);
            return;
        }
        two_byte(in, out, lookup(index, pointer));
    });
}

void euc_jp(Reader& in, TextOut& out) {
    const IndexTable& jis0208 = jis0208_index();
    const IndexTable& jis0212 = jis0212_index();
    decode_sequences(in, out, [&](int lead) {
        int trail = in.peek(1);
        if ((lead != 0x8E && lead != 0x8F && !between(lead, 0xA1, 0xFE)) || trail < 0) {
            reject(in, out);
            return;
        }
        if (lead == 0x8E && between(trail, 0xA1, 0xDF)) {
            accept(in, out, static_cast<char32_t>(0xFF61 - 0xA1 + trail), 2);
            return;
        }
        const IndexTable* index = &jis0208;
        int row = lead;
        if (lead == 0x8F && between(trail, 0xA1, 0xFE)) {
            index = &jis0212;
            row = trail;
            in.skip(1);
            trail = in.peek(1);
            if (trail < 0) {
                reject(in, out);
                return;
            }
        }
        char32_t code_point = 0;
        if (between(row, 0xA1, 0xFE) && between(trail, 0xA1, 0xFE)) {
            code_point = lookup(*index, static_cast<std::size_t>(row - 0xA1) * 94 + (trail - 0xA1));
        }
        two_byte(in, out, code_point);
    });
}

void shift_jis(Reader& in, TextOut& out) {
    const IndexTable& jis0208 = jis0208_index();
    decode_sequences(in, out, [&](int lead) {
        if (lead == 0x80) {
            accept(in, out, 0x80, 1);
            return;
        }
        if (between(lead, 0xA1, 0xDF)) {
            accept(in, out, static_cast<char32_t>(0xFF61 - 0xA1 + lead), 1);
            return;
        }
        const int trail = in.peek(1);
        if (!(between(lead, 0x81, 0x9F) || between(lead, 0xE0, 0xFC)) || trail < 0) {
            reject(in, out);
            return;
        }
        std::size_t pointer = SIZE_MAX;
        if (between(trail, 0x40, 0x7E) || between(trail, 0x80, 0xFC)) {
            pointer = static_cast<std::size_t>(lead - (lead < 0xA0 ? 0x81 : 0xC1)) * 188 +
                      (trail - (trail < 0x7F ? 0x40 : 0x41));
        }
        if (pointer >= 8836 && pointer <= 10715) {  // EUDC: private use, as Windows reads it
            accept(in, out, static_cast<char32_t>(0xE000 - 8836 + pointer), 2);
            return;
        }
        two_byte(in, out, lookup(jis0208, pointer));
    });
}

void euc_kr(Reader& in, TextOut& out) {
    const IndexTable& index = euc_kr_index();
    decode_sequences(in, out, [&](int lead) {
        const int trail = in.peek(1);
        if (!between(lead, 0x81, 0xFE) || trail < 0) {
            reject(in, out);
            return;
        }
        char32_t code_point = 0;
        if (between(trail, 0x41, 0xFE)) {
            code_point =
                lookup(index, static_cast<std::size_t>(lead - 0x81) * 190 + (trail - 0x41));
        }
        two_byte(in, out, code_point);
    });
}

}  // namespace

DecodeResult decode_legacy(const Encoding& encoding, std::string_view bytes,
                           const std::stop_token& stop) {
    Reader in(bytes, stop);
    TextOut out(bytes.size());
    switch (encoding.kind) {
        case DecoderKind::SingleByte:
            single_byte(in, out, single_byte_index(encoding));
            break;
        case DecoderKind::UserDefined:
            user_defined(in, out);
            break;
        case DecoderKind::Gb18030:
            gb18030(in, out);
            break;
        case DecoderKind::Big5:
            big5(in, out);
            break;
        case DecoderKind::EucJp:
            euc_jp(in, out);
            break;
        case DecoderKind::ShiftJis:
            shift_jis(in, out);
            break;
        case DecoderKind::EucKr:
            euc_kr(in, out);
            break;
        default:
            break;
    }
    return out.finish();
}

}  // namespace marlowin
