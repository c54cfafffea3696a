#pragma once

#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "decoding/encodings.h"

namespace marlowin {

/// What decided the encoding a page was read in.
enum class EncodingSource {
    ByteOrderMark,
    ContentType,     ///< the charset parameter of the response's Content-Type
    MetaPrescan,     ///< a <meta> in the first 1024 bytes
    LateMeta,        ///< a <meta> later in the document
    XmlDeclaration,  ///< <?xml ... encoding="..."?> at the start
    Utf8Check,       ///< the bytes are well-formed UTF-8
    Detector,        ///< uchardet's guess
    Gb18030Check,    ///< the bytes read as GB18030 without a malformed sequence
    Default,         ///< undeclared and unguessed: windows-1252
};

/// A page's text and how its encoding was chosen.
struct DecodedPage {
    std::string text;  ///< well-formed UTF-8, without a byte order mark
    const Encoding* encoding;
    EncodingSource source;
};

/**
 * Decodes an HTML document's bytes as a browser for a Simplified Chinese reader would, and
 * right where the server's declaration contradicts the page. A byte order mark wins. Then
 * the Content-Type charset holds, except that
 *  - a legacy charset gives way to UTF-8 when the bytes are well-formed UTF-8 with at least
 *    one multi-byte sequence;
 *  - a UTF-8 charset the bytes are not gives way to the page's own declaration (a <meta>, or
 *    its XML declaration), or else to the guesses an undeclared page gets;
 *  - windows-1252 (ISO-8859-1, ASCII, ...) gives way to a CJK encoding the page itself
 *    declares, when the bytes read in it without a single malformed sequence.
 * Without a charset, a <meta> in the first 1024 bytes holds. An undeclared page is UTF-8 when
 * its bytes are and hold a multi-byte sequence, else what a <meta> later in the document
 * says, else what its XML declaration says (unless that says UTF-8 and the bytes are not),
 * else UTF-8 when the bytes are, else the detector's multi-byte guess, else GB18030 when it
 * reads cleanly, else the detector's other guess, else windows-1252.
 *
 * Every pass over the bytes is linear in their length, whatever they hold.
 *
 * @param known_valid_utf8 whether the bytes are well-formed UTF-8, when already known
 *        (checked as they arrived), to spare a second pass.
 * @param stop once requested, decoding ends with DecodingCancelled, in whichever pass it is.
 */
[[nodiscard]] DecodedPage decode_html_bytes(std::string bytes, std::string_view content_type,
                                            std::optional<bool> known_valid_utf8 = std::nullopt,
                                            const std::stop_token& stop = {});

}  // namespace marlowin
