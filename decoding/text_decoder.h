#pragma once

#include <cstddef>
#include <stop_token>
#include <string>
#include <string_view>

#include "decoding/decode_result.h"
#include "decoding/encodings.h"

namespace marlowin {

/**
 * Decodes @p bytes from @p encoding into UTF-8. Malformed or unmapped input becomes U+FFFD;
 * decoding never fails. Throws DecodingCancelled once @p stop is requested, and
 * DecodingError only when a converter cannot be opened (the ICU data is missing).
 */
[[nodiscard]] DecodeResult decode_bytes(const Encoding& encoding, std::string_view bytes,
                                        const std::stop_token& stop = {});

/// Same, but takes ownership so well-formed UTF-8 is handed back without a copy.
[[nodiscard]] DecodeResult decode_bytes(const Encoding& encoding, std::string&& bytes,
                                        const std::stop_token& stop = {});

}  // namespace marlowin
