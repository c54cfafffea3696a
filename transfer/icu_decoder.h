#pragma once

#include <cstddef>
#include <stop_token>
#include <string_view>

#include "transfer/encodings.h"
#include "transfer/text_decoder.h"

namespace marlowin {

/// Decodes @p bytes with the ICU converter of @p encoding (ISO-2022-JP, UTF-16, and UTF-8
/// that is not well-formed) into well-formed UTF-8; each malformed or unmapped sequence
/// becomes U+FFFD and is counted. Throws TransferCancelled once @p stop is requested, and
/// TransferError when the converter cannot be opened.
[[nodiscard]] DecodeResult decode_with_icu(const Encoding& encoding, std::string_view bytes,
                                           const std::stop_token& stop);

/// What decoding @p length bytes usually takes: CJK text grows by half going from two bytes
/// to three, single-byte text a little. More is appended when needed.
[[nodiscard]] constexpr std::size_t expected_utf8_size(std::size_t length) {
    return length + length / 2;
}

}  // namespace marlowin
