#pragma once

#include <stop_token>
#include <string_view>

#include "decoding/decode_result.h"
#include "decoding/encodings.h"

namespace marlowin {

/**
 * The Encoding Standard's decoders for the single-byte, x-user-defined, gb18030, Big5, EUC-JP,
 * Shift_JIS and EUC-KR kinds, step by step as the standard writes them, over the indexes of
 * index_tables.h: what a malformed sequence becomes, and which of its bytes are read again,
 * is the standard's too. Each error becomes one U+FFFD and is counted. Throws
 * DecodingCancelled once @p stop is requested, and DecodingError when an index cannot be read.
 */
[[nodiscard]] DecodeResult decode_legacy(const Encoding& encoding, std::string_view bytes,
                                         const std::stop_token& stop);

}  // namespace marlowin
