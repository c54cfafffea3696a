#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace marlowin {

/// The encodings browsers know (the Encoding Standard's list), in the order of its table.
enum class EncodingId : std::uint8_t {
    Utf8,
    Ibm866,
    Iso8859_2,
    Iso8859_3,
    Iso8859_4,
    Iso8859_5,
    Iso8859_6,
    Iso8859_7,
    Iso8859_8,
    Iso8859_8I,
    Iso8859_10,
    Iso8859_13,
    Iso8859_14,
    Iso8859_15,
    Iso8859_16,
    Koi8R,
    Koi8U,
    Macintosh,
    Windows874,
    Windows1250,
    Windows1251,
    Windows1252,
    Windows1253,
    Windows1254,
    Windows1255,
    Windows1256,
    Windows1257,
    Windows1258,
    XMacCyrillic,
    Gbk,
    Gb18030,
    Big5,
    EucJp,
    Iso2022Jp,
    ShiftJis,
    EucKr,
    Replacement,
    Utf16Be,
    Utf16Le,
    XUserDefined,
};

inline constexpr std::size_t kEncodingCount = 40;

/// How an encoding's bytes become text: by the Encoding Standard's decoder of that kind.
enum class DecoderKind {
    Utf8,         ///< validated; malformed sequences become U+FFFD
    SingleByte,   ///< bytes 0x80-0xFF through the encoding's index
    UserDefined,  ///< x-user-defined: bytes 0x80-0xFF to U+F780-U+F7FF
    Gb18030,      ///< GBK and gb18030
    Big5,
    EucJp,
    ShiftJis,
    EucKr,
    Iso2022Jp,
    Utf16Be,
    Utf16Le,
    Replacement,  ///< any input becomes one U+FFFD (encodings browsers refuse to decode)
};

/// What kind of text an encoding writes.
enum class Width {
    Unicode,     ///< UTF-8, UTF-16
    MultiByte,   ///< a legacy multi-byte CJK encoding: GBK, gb18030, Big5, Shift_JIS, ...
    SingleByte,  ///< everything else
};

/// An encoding and the facts about it that decoding needs.
struct Encoding {
    EncodingId id;
    std::string_view name;  ///< canonical, e.g. "GBK", "windows-1252"
    DecoderKind kind;
    std::string_view
        icu_name;  ///< the ICU converter its index is read from, or that reads it alike
    Width width;
    EncodingId declared_as;  ///< what a <meta> naming it means: UTF-16 is read as UTF-8 there
};

/// The encoding of @p id.
[[nodiscard]] const Encoding& encoding(EncodingId id);

/// Every encoding, in the order of EncodingId.
[[nodiscard]] std::span<const Encoding, kEncodingCount> all_encodings();

/// The encoding a label names, or nullptr for an unknown label. Labels match ignoring ASCII
/// case and surrounding ASCII whitespace, e.g. " GB2312 " names GBK and "latin1" windows-1252.
[[nodiscard]] const Encoding* encoding_for_label(std::string_view label);

}  // namespace marlowin
