#pragma once

#include <stop_token>
#include <string_view>

#include "decoding/decode_result.h"

namespace marlowin {

/**
 * The Encoding Standard's UTF-8 decoder: each maximal subpart of an ill-formed sequence becomes
 * one U+FFFD and is counted, and a sequence cut off by the end is one more. Throws
 * DecodingCancelled once @p stop is requested.
 */
[[nodiscard]] DecodeResult decode_utf8(std::string_view bytes, const std::stop_token& stop);

/**
 * The Encoding Standard's UTF-16BE or UTF-16LE decoder (no byte order mark is looked for): a lone
 * surrogate becomes U+FFFD, as does an odd byte, or a leading surrogate, at the end. Throws
 * DecodingCancelled once @p stop is requested.
 */
[[nodiscard]] DecodeResult decode_utf16(std::string_view bytes, bool big_endian,
                                        const std::stop_token& stop);

}  // namespace marlowin
