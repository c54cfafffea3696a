#pragma once

#include <cstddef>
#include <stop_token>
#include <string_view>

#include "decoding/encodings.h"
#include "decoding/text_decoder.h"

namespace marlowin {

/// Decodes @p bytes with the ICU converter of @p encoding (ISO-2022-JP, UTF-16, and UTF-8
/// that is not well-formed) into well-formed UTF-8; each malformed or unmapped sequence
/// becomes U+FFFD and is counted. Throws DecodingCancelled once @p stop is requested, and
/// DecodingError when the converter cannot be opened.
[[nodiscard]] DecodeResult decode_with_icu(const Encoding& encoding, std::string_view bytes,
                                           const std::stop_token& stop);

/// The most UTF-8 that decoding @p length bytes can give: three bytes for each byte (a U+FFFD
/// or a BMP character from a single byte). Reserved up front, the text never moves while it
/// grows: moving a hundred megabytes takes long enough to miss a stop request. Only what is
/// written becomes resident, so the reserve costs address space, not memory.
[[nodiscard]] constexpr std::size_t utf8_size_bound(std::size_t length) {
    return 3 * length;
}

}  // namespace marlowin
