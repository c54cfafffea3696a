#pragma once

#include <stop_token>
#include <string_view>

#include "decoding/encodings.h"

namespace marlowin {

/// The encoding that reads what uchardet guesses for @p bytes, or nullptr when it has no guess
/// or guesses an encoding no browser decodes. Looks at the first megabyte only. Throws
/// DecodingCancelled once @p stop is requested.
[[nodiscard]] const Encoding* guess_encoding(std::string_view bytes,
                                             const std::stop_token& stop = {});

/// The encoding that reads what uchardet calls @p name ("UHC", "MAC-CYRILLIC", "GB18030",
/// ...), or nullptr where no encoding of the Encoding Standard does.
[[nodiscard]] const Encoding* encoding_for_detector_name(std::string_view name);

}  // namespace marlowin
