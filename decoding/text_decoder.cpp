#include "decoding/text_decoder.h"

#include "decoding/legacy_decoders.h"
#include "decoding/unicode_decoders.h"
#include "decoding/utf8_validator.h"

namespace marlowin {

DecodeResult decode_bytes(const Encoding& encoding, std::string&& bytes,
                          const std::stop_token& stop) {
    if (encoding.kind == DecoderKind::Utf8 && is_valid_utf8(bytes, stop)) {
        return {std::move(bytes), 0};
    }
    DecodeResult result = decode_bytes(encoding, std::string_view(bytes), stop);
    // Nothing of the input is needed any more: give its memory back before the text goes on.
    std::string().swap(bytes);
    return result;
}

DecodeResult decode_bytes(const Encoding& encoding, std::string_view bytes,
                          const std::stop_token& stop) {
    switch (encoding.kind) {
        case DecoderKind::Utf8:
            if (is_valid_utf8(bytes, stop)) {
                return {std::string(bytes), 0};
            }
            return decode_utf8(bytes, stop);
        case DecoderKind::Utf16Be:
            return decode_utf16(bytes, true, stop);
        case DecoderKind::Utf16Le:
            return decode_utf16(bytes, false, stop);
        case DecoderKind::Replacement:
            return bytes.empty() ? DecodeResult{"", 0} : DecodeResult{"\xEF\xBF\xBD", 1};
        default:
            return decode_legacy(encoding, bytes, stop);
    }
}

}  // namespace marlowin
