#include "transfer/text_decoder.h"

#include <array>

#include "transfer/icu_decoder.h"
#include "transfer/utf8_validator.h"

namespace marlowin {

namespace {

void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// ISO-8859-16 bytes 0xA0-0xFF (the lower half is Latin-1); ICU's data lacks this encoding.
// From the WHATWG index-iso-8859-16.
constexpr std::array<char16_t, 96> kIso8859_16Upper = {
    0x00A0, 0x0104, 0x0105, 0x0141, 0x20AC, 0x201E, 0x0160, 0x00A7, 0x0161, 0x00A9, 0x0218, 0x00AB,
    0x0179, 0x00AD, 0x017A, 0x017B, 0x00B0, 0x00B1, 0x010C, 0x0142, 0x017D, 0x201D, 0x00B6, 0x00B7,
    0x017E, 0x010D, 0x0219, 0x00BB, 0x0152, 0x0153, 0x0178, 0x017C, 0x00C0, 0x00C1, 0x00C2, 0x0102,
    0x00C4, 0x0106, 0x00C6, 0x00C7, 0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
    0x0110, 0x0143, 0x00D2, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x015A, 0x0170, 0x00D9, 0x00DA, 0x00DB,
    0x00DC, 0x0118, 0x021A, 0x00DF, 0x00E0, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x0107, 0x00E6, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x0111, 0x0144, 0x00F2, 0x00F3,
    0x00F4, 0x0151, 0x00F6, 0x015B, 0x0171, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x0119, 0x021B, 0x00FF,
};

DecodeResult decode_single_byte_table(std::string_view bytes, bool user_defined) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else if (user_defined) {
            append_utf8(out, 0xF780 + (b - 0x80));
        } else if (b < 0xA0) {
            append_utf8(out, b);  // C1 controls, as in Latin-1
        } else {
            append_utf8(out, kIso8859_16Upper[b - 0xA0]);
        }
    }
    return {std::move(out), 0};
}

}  // namespace

DecodeResult decode_bytes(const Encoding& encoding, std::string&& bytes,
                          const std::stop_token& stop) {
    if (encoding.kind == DecoderKind::Utf8 && is_valid_utf8(bytes)) {
        return {std::move(bytes), 0};
    }
    return decode_bytes(encoding, std::string_view(bytes), stop);
}

DecodeResult decode_bytes(const Encoding& encoding, std::string_view bytes,
                          const std::stop_token& stop) {
    switch (encoding.kind) {
        case DecoderKind::Utf8:
            if (is_valid_utf8(bytes)) {
                return {std::string(bytes), 0};
            }
            return decode_with_icu(encoding, bytes, stop);
        case DecoderKind::Icu:
            return decode_with_icu(encoding, bytes, stop);
        case DecoderKind::Iso8859_16:
            return decode_single_byte_table(bytes, false);
        case DecoderKind::UserDefined:
            return decode_single_byte_table(bytes, true);
        case DecoderKind::Replacement:
            return bytes.empty() ? DecodeResult{"", 0} : DecodeResult{"\xEF\xBF\xBD", 1};
    }
    return {"", 0};
}

}  // namespace marlowin
