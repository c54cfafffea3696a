#pragma once

#include <cstddef>
#include <stop_token>
#include <string>
#include <string_view>

#include "transfer/encodings.h"
#include "transfer/text_decoder.h"

namespace marlowin {

/// Decodes @p bytes with the ICU converter of @p encoding, appending well-formed UTF-8 to
/// @p out; returns how many malformed or unmapped sequences became U+FFFD. Throws
/// TransferCancelled once @p stop is requested.
std::size_t decode_piece_with_icu(const Encoding& encoding, std::string_view bytes,
                                  std::string& out, const std::stop_token& stop);

/// The same for the whole text: in pieces on several threads when it is long and the build
/// has that (icu_decoder_threads.cpp), else in one piece (icu_decoder_one_piece.cpp).
[[nodiscard]] DecodeResult decode_with_icu(const Encoding& encoding, std::string_view bytes,
                                           const std::stop_token& stop);

/// What decoding @p length bytes usually takes: CJK text grows by half going from two bytes
/// to three, single-byte text a little. More is appended when needed.
[[nodiscard]] constexpr std::size_t expected_utf8_size(std::size_t length) {
    return length + length / 2;
}

}  // namespace marlowin
