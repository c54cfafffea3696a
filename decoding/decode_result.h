#pragma once

#include <cstddef>
#include <string>

namespace marlowin {

/// Outcome of decoding bytes in one encoding.
struct DecodeResult {
    std::string text;       ///< always well-formed UTF-8
    std::size_t malformed;  ///< sequences that became U+FFFD
};

}  // namespace marlowin
