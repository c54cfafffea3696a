#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "decoding/encodings.h"

namespace marlowin {

/// An index of the Encoding Standard: the code point of each pointer, 0 where it has none.
using IndexTable = std::vector<char32_t>;

/**
 * The indexes the legacy decoders read. Each is taken, on first use, from what ICU's converter
 * for the encoding reads for that pointer's bytes, and corrected where ICU and the standard
 * disagree; the exhaustive test compares every entry with the standard's own.
 * Thread-safe; a converter that cannot be opened throws DecodingError.
 */
[[nodiscard]] const IndexTable& gb18030_index();         ///< the two-byte part, 23940 pointers
[[nodiscard]] const IndexTable& gb18030_ranges_index();  ///< four bytes to the BMP, 39420
[[nodiscard]] const IndexTable& big5_index();            ///< 19782 pointers
[[nodiscard]] const IndexTable& jis0208_index();         ///< 11280 pointers
[[nodiscard]] const IndexTable& jis0212_index();         ///< 8836 pointers
[[nodiscard]] const IndexTable& euc_kr_index();          ///< 23940 pointers

/// What a single-byte encoding reads for bytes 0x80 to 0xFF; 0 where it reads nothing.
[[nodiscard]] const std::array<char32_t, 128>& single_byte_index(const Encoding& encoding);

}  // namespace marlowin
