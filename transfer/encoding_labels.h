#pragma once

#include <string_view>

namespace marlowin {

/// How an encoding's bytes become text.
enum class DecoderKind {
    Utf8,         ///< validated; malformed sequences become U+FFFD
    Icu,          ///< an ICU converter, named by Encoding::icu_name
    Iso8859_16,   ///< a table of our own: ICU's data lacks this one
    UserDefined,  ///< x-user-defined: bytes 0x80-0xFF to U+F780-U+F7FF
    Replacement,  ///< any input becomes one U+FFFD (encodings browsers refuse to decode)
};

/// An encoding as browsers know it, with the decoder that reads it.
struct Encoding {
    std::string_view name;  ///< the encoding's canonical name, e.g. "GBK", "windows-1252"
    DecoderKind kind;
    std::string_view icu_name;  ///< for DecoderKind::Icu
};

/// The encoding a label names, or nullptr for an unknown label. Labels match ignoring ASCII
/// case and surrounding ASCII whitespace, e.g. " GB2312 " names GBK and "latin1" windows-1252.
[[nodiscard]] const Encoding* encoding_for_label(std::string_view label);

/// The encoding of the given canonical name (must exist), e.g. "UTF-8".
[[nodiscard]] const Encoding& encoding_named(std::string_view name);

/// Whether the encoding is UTF-8, UTF-16 or a legacy multi-byte one (CJK).
[[nodiscard]] bool is_multibyte_or_unicode(const Encoding& encoding);

}  // namespace marlowin
