#pragma once

#include <optional>
#include <stop_token>
#include <string_view>

#include "decoding/encodings.h"

namespace marlowin {

/// The encoding a byte order mark at the start of @p bytes names (UTF-8, UTF-16LE, UTF-16BE),
/// with the mark's length; nullopt without one.
struct ByteOrderMark {
    const Encoding* encoding;
    std::size_t length;
};
[[nodiscard]] std::optional<ByteOrderMark> sniff_byte_order_mark(std::string_view bytes);

/// The encoding named by the charset parameter of a Content-Type header value, or nullptr
/// when there is none or its label is unknown. Quoted values and odd spacing are understood.
[[nodiscard]] const Encoding* charset_from_content_type(std::string_view content_type);

/// The HTML prescan of a document's first 1024 bytes for <meta charset> and
/// <meta http-equiv="Content-Type" content="...charset=...">, skipping comments and other
/// tags. A declared UTF-16 yields UTF-8 and x-user-defined yields windows-1252, as browsers
/// do. nullptr when nothing usable is declared.
[[nodiscard]] const Encoding* prescan_for_meta_charset(std::string_view bytes);

/// The first <meta> declaration anywhere in the document, found as the parser's "change the
/// encoding" step would meet it: comments and other tags are skipped as in the prescan, and
/// so are the contents of script, style, textarea, title and xmp. A scan at memchr-like speed
/// from one '<' to the next, linear in the length of the page whatever it holds; nullptr when
/// there is none. Throws DecodingCancelled once @p stop is requested.
[[nodiscard]] const Encoding* late_meta_charset(std::string_view bytes,
                                                const std::stop_token& stop = {});

/// The encoding an XML declaration at the very start names (<?xml version="1.0"
/// encoding="euc-kr"?>), with the prescan's reading of UTF-16 and x-user-defined; nullptr
/// without one.
[[nodiscard]] const Encoding* xml_declaration_charset(std::string_view bytes);

}  // namespace marlowin
