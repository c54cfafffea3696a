#pragma once

#include <stop_token>
#include <string_view>

#include "decoding/encodings.h"
#include "decoding/text_decoder.h"

namespace marlowin {

/// Decodes @p bytes with ICU's converter for @p encoding (Encoding::icu_name) into UTF-8, as
/// fast as ICU goes: a block at a time into UTF-16, then u_strToUTF8WithSub. The baseline the
/// benchmarks hold our own decoders to; each malformed sequence becomes U+FFFD and is counted.
[[nodiscard]] DecodeResult decode_with_icu(const Encoding& encoding, std::string_view bytes,
                                           const std::stop_token& stop = {});

}  // namespace marlowin
