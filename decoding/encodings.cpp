#include "decoding/encodings.h"

#include <algorithm>
#include <array>
#include <string>

#include "base/ascii.h"

namespace marlowin {

namespace {

using Id = EncodingId;

// From the Encoding Standard's encodings.json. GBK and gb18030 share one decoder, as do
// ISO-8859-8 and ISO-8859-8-I. Single-byte and CJK indexes are read from the ICU converter named
// here (index_tables.cpp); ISO-8859-16, which ICU's data lacks, and x-user-defined need none.
constexpr auto Single = Width::SingleByte;
constexpr auto Multi = Width::MultiByte;
constexpr auto Unicode = Width::Unicode;
using K = DecoderKind;

// clang-format off
constexpr std::array kEncodings = std::to_array<Encoding>({
    // id             name              decoder           ICU converter                   width    declared as
    {Id::Utf8,         "UTF-8",          K::Utf8,          "UTF-8",                        Unicode, Id::Utf8},
    {Id::Ibm866,       "IBM866",         K::SingleByte,    "ibm-866_P100-1995",            Single,  Id::Ibm866},
    {Id::Iso8859_2,    "ISO-8859-2",     K::SingleByte,    "ISO-8859-2",                   Single,  Id::Iso8859_2},
    {Id::Iso8859_3,    "ISO-8859-3",     K::SingleByte,    "ISO-8859-3",                   Single,  Id::Iso8859_3},
    {Id::Iso8859_4,    "ISO-8859-4",     K::SingleByte,    "ISO-8859-4",                   Single,  Id::Iso8859_4},
    {Id::Iso8859_5,    "ISO-8859-5",     K::SingleByte,    "ISO-8859-5",                   Single,  Id::Iso8859_5},
    {Id::Iso8859_6,    "ISO-8859-6",     K::SingleByte,    "ISO-8859-6",                   Single,  Id::Iso8859_6},
    {Id::Iso8859_7,    "ISO-8859-7",     K::SingleByte,    "ISO-8859-7",                   Single,  Id::Iso8859_7},
    {Id::Iso8859_8,    "ISO-8859-8",     K::SingleByte,    "ISO-8859-8",                   Single,  Id::Iso8859_8},
    {Id::Iso8859_8I,   "ISO-8859-8-I",   K::SingleByte,    "ISO-8859-8",                   Single,  Id::Iso8859_8I},
    {Id::Iso8859_10,   "ISO-8859-10",    K::SingleByte,    "iso-8859_10-1998",             Single,  Id::Iso8859_10},
    {Id::Iso8859_13,   "ISO-8859-13",    K::SingleByte,    "ISO-8859-13",                  Single,  Id::Iso8859_13},
    {Id::Iso8859_14,   "ISO-8859-14",    K::SingleByte,    "iso-8859_14-1998",             Single,  Id::Iso8859_14},
    {Id::Iso8859_15,   "ISO-8859-15",    K::SingleByte,    "ISO-8859-15",                  Single,  Id::Iso8859_15},
    {Id::Iso8859_16,   "ISO-8859-16",    K::SingleByte,    "",                             Single,  Id::Iso8859_16},
    {Id::Koi8R,        "KOI8-R",         K::SingleByte,    "KOI8-R",                       Single,  Id::Koi8R},
    {Id::Koi8U,        "KOI8-U",         K::SingleByte,    "ibm-1168_P100-2002",           Single,  Id::Koi8U},
    {Id::Macintosh,    "macintosh",      K::SingleByte,    "macos-0_2-10.2",               Single,  Id::Macintosh},
    {Id::Windows874,   "windows-874",    K::SingleByte,    "windows-874-2000",             Single,  Id::Windows874},
    {Id::Windows1250,  "windows-1250",   K::SingleByte,    "ibm-5346_P100-1998",           Single,  Id::Windows1250},
    {Id::Windows1251,  "windows-1251",   K::SingleByte,    "ibm-5347_P100-1998",           Single,  Id::Windows1251},
    {Id::Windows1252,  "windows-1252",   K::SingleByte,    "ibm-5348_P100-1997",           Single,  Id::Windows1252},
    {Id::Windows1253,  "windows-1253",   K::SingleByte,    "ibm-5349_P100-1998",           Single,  Id::Windows1253},
    {Id::Windows1254,  "windows-1254",   K::SingleByte,    "ibm-5350_P100-1998",           Single,  Id::Windows1254},
    {Id::Windows1255,  "windows-1255",   K::SingleByte,    "ibm-9447_P100-2002",           Single,  Id::Windows1255},
    {Id::Windows1256,  "windows-1256",   K::SingleByte,    "ibm-9448_X100-2005",           Single,  Id::Windows1256},
    {Id::Windows1257,  "windows-1257",   K::SingleByte,    "ibm-9449_P100-2002",           Single,  Id::Windows1257},
    {Id::Windows1258,  "windows-1258",   K::SingleByte,    "ibm-5354_P100-1998",           Single,  Id::Windows1258},
    {Id::XMacCyrillic, "x-mac-cyrillic", K::SingleByte,    "macos-7_3-10.2",               Single,  Id::XMacCyrillic},
    {Id::Gbk,          "GBK",            K::Gb18030,       "gb18030",                      Multi,   Id::Gbk},
    {Id::Gb18030,      "gb18030",        K::Gb18030,       "gb18030",                      Multi,   Id::Gb18030},
    {Id::Big5,         "Big5",           K::Big5,          "ibm-1375_P100-2008",           Multi,   Id::Big5},
    {Id::EucJp,        "EUC-JP",         K::EucJp,         "euc-jp-2007",                  Multi,   Id::EucJp},
    {Id::Iso2022Jp,    "ISO-2022-JP",    K::Iso2022Jp,     "ISO_2022,locale=ja,version=0", Multi,   Id::Iso2022Jp},
    {Id::ShiftJis,     "Shift_JIS",      K::ShiftJis,      "ibm-943_P15A-2003",            Multi,   Id::ShiftJis},
    {Id::EucKr,        "EUC-KR",         K::EucKr,         "windows-949-2000",             Multi,   Id::EucKr},
    {Id::Replacement,  "replacement",    K::Replacement,   "",                             Single,  Id::Replacement},
    {Id::Utf16Be,      "UTF-16BE",       K::Utf16Be,       "UTF-16BE",                     Unicode, Id::Utf8},
    {Id::Utf16Le,      "UTF-16LE",       K::Utf16Le,       "UTF-16LE",                     Unicode, Id::Utf8},
    {Id::XUserDefined, "x-user-defined", K::UserDefined,   "",                             Single,  Id::Windows1252},
});
// clang-format on

static_assert(
    [] {
        for (std::size_t i = 0; i < kEncodings.size(); ++i) {
            if (static_cast<std::size_t>(kEncodings[i].id) != i) {
                return false;
            }
        }
        return true;
    }(),
    "the table is in the order of EncodingId");

struct Label {
    std::string_view label;
    EncodingId encoding;
};

// Sorted by label, for the binary search.
constexpr std::array kLabels = std::to_array<Label>({
    {"866", Id::Ibm866},
    {"ansi_x3.4-1968", Id::Windows1252},
    {"arabic", Id::Iso8859_6},
    {"ascii", Id::Windows1252},
    {"asmo-708", Id::Iso8859_6},
    {"big5", Id::Big5},
    {"big5-hkscs", Id::Big5},
    {"chinese", Id::Gbk},
    {"cn-big5", Id::Big5},
    {"cp1250", Id::Windows1250},
    {"cp1251", Id::Windows1251},
    {"cp1252", Id::Windows1252},
    {"cp1253", Id::Windows1253},
    {"cp1254", Id::Windows1254},
    {"cp1255", Id::Windows1255},
    {"cp1256", Id::Windows1256},
    {"cp1257", Id::Windows1257},
    {"cp1258", Id::Windows1258},
    {"cp819", Id::Windows1252},
    {"cp866", Id::Ibm866},
    {"csbig5", Id::Big5},
    {"cseuckr", Id::EucKr},
    {"cseucpkdfmtjapanese", Id::EucJp},
    {"csgb2312", Id::Gbk},
    {"csibm866", Id::Ibm866},
    {"csiso2022jp", Id::Iso2022Jp},
    {"csiso2022kr", Id::Replacement},
    {"csiso58gb231280", Id::Gbk},
    {"csiso88596e", Id::Iso8859_6},
    {"csiso88596i", Id::Iso8859_6},
    {"csiso88598e", Id::Iso8859_8},
    {"csiso88598i", Id::Iso8859_8I},
    {"csisolatin1", Id::Windows1252},
    {"csisolatin2", Id::Iso8859_2},
    {"csisolatin3", Id::Iso8859_3},
    {"csisolatin4", Id::Iso8859_4},
    {"csisolatin5", Id::Windows1254},
    {"csisolatin6", Id::Iso8859_10},
    {"csisolatin9", Id::Iso8859_15},
    {"csisolatinarabic", Id::Iso8859_6},
    {"csisolatincyrillic", Id::Iso8859_5},
    {"csisolatingreek", Id::Iso8859_7},
    {"csisolatinhebrew", Id::Iso8859_8},
    {"cskoi8r", Id::Koi8R},
    {"csksc56011987", Id::EucKr},
    {"csmacintosh", Id::Macintosh},
    {"csshiftjis", Id::ShiftJis},
    {"csunicode", Id::Utf16Le},
    {"cyrillic", Id::Iso8859_5},
    {"dos-874", Id::Windows874},
    {"ecma-114", Id::Iso8859_6},
    {"ecma-118", Id::Iso8859_7},
    {"elot_928", Id::Iso8859_7},
    {"euc-jp", Id::EucJp},
    {"euc-kr", Id::EucKr},
    {"gb18030", Id::Gb18030},
    {"gb2312", Id::Gbk},
    {"gb_2312", Id::Gbk},
    {"gb_2312-80", Id::Gbk},
    {"gbk", Id::Gbk},
    {"greek", Id::Iso8859_7},
    {"greek8", Id::Iso8859_7},
    {"hebrew", Id::Iso8859_8},
    {"hz-gb-2312", Id::Replacement},
    {"ibm819", Id::Windows1252},
    {"ibm866", Id::Ibm866},
    {"iso-10646-ucs-2", Id::Utf16Le},
    {"iso-2022-cn", Id::Replacement},
    {"iso-2022-cn-ext", Id::Replacement},
    {"iso-2022-jp", Id::Iso2022Jp},
    {"iso-2022-kr", Id::Replacement},
    {"iso-8859-1", Id::Windows1252},
    {"iso-8859-10", Id::Iso8859_10},
    {"iso-8859-11", Id::Windows874},
    {"iso-8859-13", Id::Iso8859_13},
    {"iso-8859-14", Id::Iso8859_14},
    {"iso-8859-15", Id::Iso8859_15},
    {"iso-8859-16", Id::Iso8859_16},
    {"iso-8859-2", Id::Iso8859_2},
    {"iso-8859-3", Id::Iso8859_3},
    {"iso-8859-4", Id::Iso8859_4},
    {"iso-8859-5", Id::Iso8859_5},
    {"iso-8859-6", Id::Iso8859_6},
    {"iso-8859-6-e", Id::Iso8859_6},
    {"iso-8859-6-i", Id::Iso8859_6},
    {"iso-8859-7", Id::Iso8859_7},
    {"iso-8859-8", Id::Iso8859_8},
    {"iso-8859-8-e", Id::Iso8859_8},
    {"iso-8859-8-i", Id::Iso8859_8I},
    {"iso-8859-9", Id::Windows1254},
    {"iso-ir-100", Id::Windows1252},
    {"iso-ir-101", Id::Iso8859_2},
    {"iso-ir-109", Id::Iso8859_3},
    {"iso-ir-110", Id::Iso8859_4},
    {"iso-ir-126", Id::Iso8859_7},
    {"iso-ir-127", Id::Iso8859_6},
    {"iso-ir-138", Id::Iso8859_8},
    {"iso-ir-144", Id::Iso8859_5},
    {"iso-ir-148", Id::Windows1254},
    {"iso-ir-149", Id::EucKr},
    {"iso-ir-157", Id::Iso8859_10},
    {"iso-ir-58", Id::Gbk},
    {"iso8859-1", Id::Windows1252},
    {"iso8859-10", Id::Iso8859_10},
    {"iso8859-11", Id::Windows874},
    {"iso8859-13", Id::Iso8859_13},
    {"iso8859-14", Id::Iso8859_14},
    {"iso8859-15", Id::Iso8859_15},
    {"iso8859-2", Id::Iso8859_2},
    {"iso8859-3", Id::Iso8859_3},
    {"iso8859-4", Id::Iso8859_4},
    {"iso8859-5", Id::Iso8859_5},
    {"iso8859-6", Id::Iso8859_6},
    {"iso8859-7", Id::Iso8859_7},
    {"iso8859-8", Id::Iso8859_8},
    {"iso8859-9", Id::Windows1254},
    {"iso88591", Id::Windows1252},
    {"iso885910", Id::Iso8859_10},
    {"iso885911", Id::Windows874},
    {"iso885913", Id::Iso8859_13},
    {"iso885914", Id::Iso8859_14},
    {"iso885915", Id::Iso8859_15},
    {"iso88592", Id::Iso8859_2},
    {"iso88593", Id::Iso8859_3},
    {"iso88594", Id::Iso8859_4},
    {"iso88595", Id::Iso8859_5},
    {"iso88596", Id::Iso8859_6},
    {"iso88597", Id::Iso8859_7},
    {"iso88598", Id::Iso8859_8},
    {"iso88599", Id::Windows1254},
    {"iso_8859-1", Id::Windows1252},
    {"iso_8859-15", Id::Iso8859_15},
    {"iso_8859-1:1987", Id::Windows1252},
    {"iso_8859-2", Id::Iso8859_2},
    {"iso_8859-2:1987", Id::Iso8859_2},
    {"iso_8859-3", Id::Iso8859_3},
    {"iso_8859-3:1988", Id::Iso8859_3},
    {"iso_8859-4", Id::Iso8859_4},
    {"iso_8859-4:1988", Id::Iso8859_4},
    {"iso_8859-5", Id::Iso8859_5},
    {"iso_8859-5:1988", Id::Iso8859_5},
    {"iso_8859-6", Id::Iso8859_6},
    {"iso_8859-6:1987", Id::Iso8859_6},
    {"iso_8859-7", Id::Iso8859_7},
    {"iso_8859-7:1987", Id::Iso8859_7},
    {"iso_8859-8", Id::Iso8859_8},
    {"iso_8859-8:1988", Id::Iso8859_8},
    {"iso_8859-9", Id::Windows1254},
    {"iso_8859-9:1989", Id::Windows1254},
    {"koi", Id::Koi8R},
    {"koi8", Id::Koi8R},
    {"koi8-r", Id::Koi8R},
    {"koi8-ru", Id::Koi8U},
    {"koi8-u", Id::Koi8U},
    {"koi8_r", Id::Koi8R},
    {"korean", Id::EucKr},
    {"ks_c_5601-1987", Id::EucKr},
    {"ks_c_5601-1989", Id::EucKr},
    {"ksc5601", Id::EucKr},
    {"ksc_5601", Id::EucKr},
    {"l1", Id::Windows1252},
    {"l2", Id::Iso8859_2},
    {"l3", Id::Iso8859_3},
    {"l4", Id::Iso8859_4},
    {"l5", Id::Windows1254},
    {"l6", Id::Iso8859_10},
    {"l9", Id::Iso8859_15},
    {"latin1", Id::Windows1252},
    {"latin2", Id::Iso8859_2},
    {"latin3", Id::Iso8859_3},
    {"latin4", Id::Iso8859_4},
    {"latin5", Id::Windows1254},
    {"latin6", Id::Iso8859_10},
    {"logical", Id::Iso8859_8I},
    {"mac", Id::Macintosh},
    {"macintosh", Id::Macintosh},
    {"ms932", Id::ShiftJis},
    {"ms_kanji", Id::ShiftJis},
    {"replacement", Id::Replacement},
    {"shift-jis", Id::ShiftJis},
    {"shift_jis", Id::ShiftJis},
    {"sjis", Id::ShiftJis},
    {"sun_eu_greek", Id::Iso8859_7},
    {"tis-620", Id::Windows874},
    {"ucs-2", Id::Utf16Le},
    {"unicode", Id::Utf16Le},
    {"unicode-1-1-utf-8", Id::Utf8},
    {"unicode11utf8", Id::Utf8},
    {"unicode20utf8", Id::Utf8},
    {"unicodefeff", Id::Utf16Le},
    {"unicodefffe", Id::Utf16Be},
    {"us-ascii", Id::Windows1252},
    {"utf-16", Id::Utf16Le},
    {"utf-16be", Id::Utf16Be},
    {"utf-16le", Id::Utf16Le},
    {"utf-8", Id::Utf8},
    {"utf8", Id::Utf8},
    {"visual", Id::Iso8859_8},
    {"windows-1250", Id::Windows1250},
    {"windows-1251", Id::Windows1251},
    {"windows-1252", Id::Windows1252},
    {"windows-1253", Id::Windows1253},
    {"windows-1254", Id::Windows1254},
    {"windows-1255", Id::Windows1255},
    {"windows-1256", Id::Windows1256},
    {"windows-1257", Id::Windows1257},
    {"windows-1258", Id::Windows1258},
    {"windows-31j", Id::ShiftJis},
    {"windows-874", Id::Windows874},
    {"windows-949", Id::EucKr},
    {"x-cp1250", Id::Windows1250},
    {"x-cp1251", Id::Windows1251},
    {"x-cp1252", Id::Windows1252},
    {"x-cp1253", Id::Windows1253},
    {"x-cp1254", Id::Windows1254},
    {"x-cp1255", Id::Windows1255},
    {"x-cp1256", Id::Windows1256},
    {"x-cp1257", Id::Windows1257},
    {"x-cp1258", Id::Windows1258},
    {"x-euc-jp", Id::EucJp},
    {"x-gbk", Id::Gbk},
    {"x-mac-cyrillic", Id::XMacCyrillic},
    {"x-mac-roman", Id::Macintosh},
    {"x-mac-ukrainian", Id::XMacCyrillic},
    {"x-sjis", Id::ShiftJis},
    {"x-unicode20utf8", Id::Utf8},
    {"x-user-defined", Id::XUserDefined},
    {"x-x-big5", Id::Big5},
});

static_assert(std::ranges::is_sorted(kLabels, {}, &Label::label), "labels are sorted");

}  // namespace

const Encoding& encoding(EncodingId id) {
    return kEncodings[static_cast<std::size_t>(id)];
}

std::span<const Encoding, kEncodingCount> all_encodings() {
    return kEncodings;
}

const Encoding* encoding_for_label(std::string_view label) {
    while (!label.empty() && ascii::is_whitespace(label.front())) {
        label.remove_prefix(1);
    }
    while (!label.empty() && ascii::is_whitespace(label.back())) {
        label.remove_suffix(1);
    }
    std::string key(label);
    std::transform(key.begin(), key.end(), key.begin(), ascii::to_lower);
    const auto it = std::ranges::lower_bound(kLabels, std::string_view(key), {}, &Label::label);
    if (it == kLabels.end() || it->label != key) {
        return nullptr;
    }
    return &encoding(it->encoding);
}

}  // namespace marlowin
