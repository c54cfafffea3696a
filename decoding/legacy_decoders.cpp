#include "decoding/legacy_decoders.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "decoding/decoder_io.h"
#include "decoding/index_tables.h"

namespace marlowin {

namespace {

using decoder_io::accept;
using decoder_io::between;
using decoder_io::decode_sequences;
using decoder_io::Reader;
using decoder_io::reject;
using decoder_io::TextOut;

MARLOWIN_HOT_STEP char32_t lookup(const IndexTable& index, std::size_t pointer) {
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

// The loop of the two-byte decoders. The bulk of a CJK page, a two-byte sequence whose pointer
// (from @p pointer_of, SIZE_MAX for none) has a code point, is read straight from @p index;
// everything else goes through @p sequence, the decoder's own steps, which read those alike.
template <typename PointerOf, typename Sequence>
void decode_pairs(Reader& in, TextOut& out, const IndexTable& index, const PointerOf& pointer_of,
                  const Sequence& sequence) {
    decode_sequences(in, out, [&](int lead) {
        if (const int trail = in.peek(1); trail >= 0) {
            if (const char32_t code_point = lookup(index, pointer_of(lead, trail));
                code_point != 0) {
                accept(in, out, code_point, 2);
                return;
            }
        }
        sequence(lead);
    });
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

// The pointer of a two-byte gb18030 sequence, SIZE_MAX for none.
MARLOWIN_HOT_STEP std::size_t gb18030_pointer(int first, int second) {
    if (!between(first, 0x81, 0xFE) ||
        !(between(second, 0x40, 0x7E) || between(second, 0x80, 0xFE))) {
        return SIZE_MAX;
    }
    return static_cast<std::size_t>(first - 0x81) * 190 + (second - (second < 0x7F ? 0x40 : 0x41));
}

void gb18030(Reader& in, TextOut& out) {
    const IndexTable& index = gb18030_index();
    static_cast<void>(gb18030_ranges_index());
    decode_pairs(
        in, out, index, [](int a, int b) { return gb18030_pointer(a, b); },
        [&](int first) {
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
                } else if (between(third, 0x81, 0xFE) && between(fourth, 0x30, 0x39)) {
                    out.error();  // a well-formed sequence without a code point: all four bytes
                    in.skip(4);
                } else {
                    reject(in, out);  // the second, third and fourth bytes are read again
                }
                return;
            }
            two_byte(in, out, lookup(index, gb18030_pointer(first, second)));
        });
}

MARLOWIN_HOT_STEP std::size_t big5_pointer(int lead, int trail) {
    if (!between(lead, 0x81, 0xFE) || !(between(trail, 0x40, 0x7E) || between(trail, 0xA1, 0xFE))) {
        return SIZE_MAX;
    }
    return static_cast<std::size_t>(lead - 0x81) * 157 + (trail - (trail < 0x7F ? 0x40 : 0x62));
}

// Four pointers read a letter and a combining mark.
bool big5_reads_two(std::size_t pointer) {
    return pointer == 1133 || pointer == 1135 || pointer == 1164 || pointer == 1166;
}

void big5(Reader& in, TextOut& out) {
    const IndexTable& index = big5_index();
    const auto plain_pointer = [](int lead, int trail) {
        const std::size_t pointer = big5_pointer(lead, trail);
        return big5_reads_two(pointer) ? SIZE_MAX : pointer;
    };
    decode_pairs(in, out, index, plain_pointer, [&](int lead) {
        const int trail = in.peek(1);
        if (!between(lead, 0x81, 0xFE) || trail < 0) {
            reject(in, out);
            return;
        }
        const std::size_t pointer = big5_pointer(lead, trail);
        if (big5_reads_two(pointer)) {
            out.put(pointer < 1164 ? 0x00CA : 0x00EA);
            accept(in, out, pointer == 1133 || pointer == 1164 ? 0x0304 : 0x030C, 2);
            return;
        }
        two_byte(in, out, lookup(index, pointer));
    });
}

// The pointer of a JIS X 0208 or 0212 row and cell byte pair (0xA1-0xFE each), SIZE_MAX for none.
MARLOWIN_HOT_STEP std::size_t euc_jp_pointer(int row, int cell) {
    if (!between(row, 0xA1, 0xFE) || !between(cell, 0xA1, 0xFE)) {
        return SIZE_MAX;
    }
    return static_cast<std::size_t>(row - 0xA1) * 94 + (cell - 0xA1);
}

void euc_jp(Reader& in, TextOut& out) {
    const IndexTable& jis0208 = jis0208_index();
    const IndexTable& jis0212 = jis0212_index();
    decode_pairs(
        in, out, jis0208, [](int a, int b) { return euc_jp_pointer(a, b); },
        [&](int lead) {
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
            two_byte(in, out, lookup(*index, euc_jp_pointer(row, trail)));
        });
}

MARLOWIN_HOT_STEP std::size_t shift_jis_pointer(int lead, int trail) {
    if (!(between(lead, 0x81, 0x9F) || between(lead, 0xE0, 0xFC)) ||
        !(between(trail, 0x40, 0x7E) || between(trail, 0x80, 0xFC))) {
        return SIZE_MAX;
    }
    return static_cast<std::size_t>(lead - (lead < 0xA0 ? 0x81 : 0xC1)) * 188 +
           (trail - (trail < 0x7F ? 0x40 : 0x41));
}

void shift_jis(Reader& in, TextOut& out) {
    const IndexTable& jis0208 = jis0208_index();
    decode_pairs(
        in, out, jis0208, [](int a, int b) { return shift_jis_pointer(a, b); },
        [&](int lead) {
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
            const std::size_t pointer = shift_jis_pointer(lead, trail);
            if (pointer >= 8836 && pointer <= 10715) {  // EUDC: private use, as Windows reads it
                accept(in, out, static_cast<char32_t>(0xE000 - 8836 + pointer), 2);
                return;
            }
            two_byte(in, out, lookup(jis0208, pointer));
        });
}

MARLOWIN_HOT_STEP std::size_t euc_kr_pointer(int lead, int trail) {
    if (!between(lead, 0x81, 0xFE) || !between(trail, 0x41, 0xFE)) {
        return SIZE_MAX;
    }
    return static_cast<std::size_t>(lead - 0x81) * 190 + (trail - 0x41);
}

void euc_kr(Reader& in, TextOut& out) {
    const IndexTable& index = euc_kr_index();
    decode_pairs(
        in, out, index, [](int a, int b) { return euc_kr_pointer(a, b); },
        [&](int lead) {
            const int trail = in.peek(1);
            if (!between(lead, 0x81, 0xFE) || trail < 0) {
                reject(in, out);
                return;
            }
            two_byte(in, out, lookup(index, euc_kr_pointer(lead, trail)));
        });
}

// ISO-2022-JP: escape sequences switch between ASCII, JIS X 0201 Roman, half-width katakana and
// JIS X 0208; an escape sequence straight after another, with nothing between, is an error.
void iso_2022_jp(Reader& in, TextOut& out) {
    enum class State { Ascii, Roman, Katakana, LeadByte, TrailByte, EscapeStart, Escape };
    const IndexTable& jis0208 = jis0208_index();
    State state = State::Ascii;
    State output_state = State::Ascii;
    int lead = 0;
    bool output = false;
    for (;;) {
        const bool end = in.done();
        const int byte = end ? -1 : in.peek();
        switch (state) {
            case State::Ascii:
            case State::Roman:
            case State::Katakana:
            case State::LeadByte:
                if (end) {
                    return;
                }
                in.skip(1);
                if (byte == 0x1B) {
                    state = State::EscapeStart;
                    break;
                }
                output = false;
                if (state == State::LeadByte) {
                    if (between(byte, 0x21, 0x7E)) {
                        lead = byte;
                        state = State::TrailByte;
                    } else {
                        out.error();
                    }
                } else if (state == State::Katakana) {
                    if (between(byte, 0x21, 0x5F)) {
                        out.put(static_cast<char32_t>(0xFF61 - 0x21 + byte));
                    } else {
                        out.error();
                    }
                } else if (byte > 0x7F || byte == 0x0E || byte == 0x0F) {
                    out.error();
                } else if (state == State::Roman && byte == 0x5C) {
                    out.put(0x00A5);
                } else if (state == State::Roman && byte == 0x7E) {
                    out.put(0x203E);
                } else {
                    out.put(static_cast<char32_t>(byte));
                }
                break;
            case State::TrailByte:
                state = State::LeadByte;
                if (end) {
                    out.error();
                    break;
                }
                in.skip(1);
                if (byte == 0x1B) {
                    state = State::EscapeStart;
                    out.error();
                } else if (const char32_t code_point =
                               between(byte, 0x21, 0x7E)
                                   ? lookup(jis0208, static_cast<std::size_t>(lead - 0x21) * 94 +
                                                         (byte - 0x21))
                                   : 0;
                           code_point != 0) {
                    out.put(code_point);
                } else {
                    out.error();
                }
                break;
            case State::EscapeStart:
                if (byte == 0x24 || byte == 0x28) {
                    lead = byte;
                    state = State::Escape;
                    in.skip(1);
                    break;
                }
                output = false;  // the byte is read again, in the state before the escape
                state = output_state;
                out.error();
                break;
            case State::Escape: {
                std::optional<State> selected;
                if (lead == 0x28 && byte == 0x42) {
                    selected = State::Ascii;
                } else if (lead == 0x28 && byte == 0x4A) {
                    selected = State::Roman;
                } else if (lead == 0x28 && byte == 0x49) {
                    selected = State::Katakana;
                } else if (lead == 0x24 && (byte == 0x40 || byte == 0x42)) {
                    selected = State::LeadByte;
                }
                lead = 0;
                if (selected) {
                    in.skip(1);
                    state = output_state = *selected;
                    if (std::exchange(output, true)) {
                        out.error();
                    }
                    break;
                }
                in.back(1);  // the escape's second byte, and this one, are read again
                output = false;
                state = output_state;
                out.error();
                break;
            }
        }
    }
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
        case DecoderKind::Iso2022Jp:
            iso_2022_jp(in, out);
            break;
        default:
            break;
    }
    return out.finish();
}

}  // namespace marlowin
