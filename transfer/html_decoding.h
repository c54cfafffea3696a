#pragma once

#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "transfer/encodings.h"

namespace marlowin {

/// Where the encoding of a decoded page came from.
enum class EncodingSource {
    ByteOrderMark,
    ContentType,   ///< the charset parameter of the response's Content-Type
    MetaPrescan,   ///< a <meta> in the first 1024 bytes
    Utf8Check,     ///< undeclared, and the bytes are well-formed UTF-8
    Detector,      ///< undeclared, uchardet's guess
    Gb18030Check,  ///< undeclared, and the bytes read as GB18030 without a malformed sequence
    Default,       ///< undeclared and unguessed: windows-1252
};

/// A page's text and how its encoding was chosen.
struct DecodedPage {
    std::string text;  ///< well-formed UTF-8, without a byte order mark
    const Encoding* encoding;
    EncodingSource source;
};

/**
 * Decodes an HTML document's bytes as a browser for a Simplified Chinese reader would: a byte
 * order mark wins, then the Content-Type charset, then a <meta> declaration; an undeclared
 * page is UTF-8 when its bytes are, else the detector's multi-byte guess, else GB18030 when
 * it reads cleanly, else the detector's other guess, else windows-1252.
 *
 * @param known_valid_utf8 whether the bytes are well-formed UTF-8, when already known
 *        (checked as they arrived), to spare a second pass.
 * @param stop once requested, decoding ends with TransferCancelled.
 */
[[nodiscard]] DecodedPage decode_html_bytes(std::string bytes, std::string_view content_type,
                                            std::optional<bool> known_valid_utf8 = std::nullopt,
                                            const std::stop_token& stop = {});

}  // namespace marlowin
