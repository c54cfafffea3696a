#include "decoding/unicode_decoders.h"

#include "decoding/decoder_io.h"

namespace marlowin {

using decoder_io::accept;
using decoder_io::between;
using decoder_io::decode_sequences;
using decoder_io::Reader;
using decoder_io::reject;
using decoder_io::TextOut;

DecodeResult decode_utf8(std::string_view bytes, const std::stop_token& stop) {
    Reader in(bytes, stop);
    TextOut out(bytes.size());
    decode_sequences(in, out, [&](int lead) {
        int needed = 0;
        int lower = 0x80;
        int upper = 0xBF;
        auto code_point = static_cast<char32_t>(lead);
        if (between(lead, 0xC2, 0xDF)) {
            needed = 1;
            code_point &= 0x1F;
        } else if (between(lead, 0xE0, 0xEF)) {
            needed = 2;
            code_point &= 0x0F;
            lower = lead == 0xE0 ? 0xA0 : lower;  // no overlong forms
            upper = lead == 0xED ? 0x9F : upper;  // no surrogates
        } else if (between(lead, 0xF0, 0xF4)) {
            needed = 3;
            code_point &= 0x07;
            lower = lead == 0xF0 ? 0x90 : lower;
            upper = lead == 0xF4 ? 0x8F : upper;  // nothing above U+10FFFF
        } else {
            reject(in, out);
            return;
        }
        for (int seen = 1; seen <= needed; ++seen) {
            const int byte = in.peek(static_cast<std::size_t>(seen));
            if (byte < 0) {
                out.error();  // cut off by the end: one U+FFFD for what there is
                in.to_end();
                return;
            }
            if (!between(byte, lower, upper)) {
                out.error();  // the maximal subpart so far; this byte is read again
                in.skip(static_cast<std::size_t>(seen));
                return;
            }
            lower = 0x80;
            upper = 0xBF;
            code_point = (code_point << 6) | static_cast<char32_t>(byte & 0x3F);
        }
        accept(in, out, code_point, static_cast<std::size_t>(needed) + 1);
    });
    return out.finish();
}

DecodeResult decode_utf16(std::string_view bytes, bool big_endian, const std::stop_token& stop) {
    Reader in(bytes, stop);
    TextOut out(bytes.size());
    // The code unit @p at bytes on, or -1 where the input ends before its second byte.
    const auto unit = [&](std::size_t at) {
        const int first = in.peek(at);
        const int second = in.peek(at + 1);
        if (second < 0) {
            return -1;
        }
        return big_endian ? (first << 8) | second : (second << 8) | first;
    };
    while (!in.done()) {
        const int leading = unit(0);
        if (leading < 0) {
            reject(in, out);  // an odd byte at the end
        } else if (between(leading, 0xD800, 0xDBFF)) {
            const int trailing = unit(2);
            if (trailing < 0) {
                out.error();  // a leading surrogate, and perhaps one more byte, at the end
                in.to_end();
            } else if (between(trailing, 0xDC00, 0xDFFF)) {
                accept(in, out,
                       static_cast<char32_t>(0x10000 + ((leading - 0xD800) << 10) +
                                             (trailing - 0xDC00)),
                       4);
            } else {
                out.error();  // a lone leading surrogate; the next unit is read again
                in.skip(2);
            }
        } else if (between(leading, 0xDC00, 0xDFFF)) {
            out.error();
            in.skip(2);
        } else {
            accept(in, out, static_cast<char32_t>(leading), 2);
        }
    }
    return out.finish();
}

}  // namespace marlowin
