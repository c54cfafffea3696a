#include "transfer/icu_decoder.h"

namespace marlowin {

DecodeResult decode_with_icu(const Encoding& encoding, std::string_view bytes,
                             const std::stop_token& stop) {
    DecodeResult result{{}, 0};
    result.text.reserve(expected_utf8_size(bytes.size()));
    result.malformed = decode_piece_with_icu(encoding, bytes, result.text, stop);
    return result;
}

}  // namespace marlowin
