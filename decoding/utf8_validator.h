#pragma once

#include <cstdint>
#include <stop_token>
#include <string_view>

namespace marlowin {

/**
 * Checks bytes for well-formed UTF-8 as they arrive, in pieces of any size: a character may
 * be split between two pieces. After the last piece, valid() says whether the whole stream
 * was well-formed (no overlongs, surrogates or code points above U+10FFFF, nothing cut off).
 */
class Utf8Validator {
public:
    void feed(std::string_view bytes);
    [[nodiscard]] bool valid() const { return !failed_ && needed_ == 0; }

private:
    /// Takes the next byte of an open character; false (and failed) when it does not fit.
    bool accept_continuation(unsigned char b);

    bool failed_ = false;
    int needed_ = 0;              ///< continuation bytes still to come
    unsigned char lower_ = 0x80;  ///< bounds of the next continuation byte
    unsigned char upper_ = 0xBF;
};

/// Whether @p bytes are well-formed UTF-8 as a whole. Throws DecodingCancelled once @p stop
/// is requested.
[[nodiscard]] bool is_valid_utf8(std::string_view bytes, const std::stop_token& stop = {});

}  // namespace marlowin
