#include "decoding/encodings.h"

#include <gtest/gtest.h>

#include "decoding/charset_detector.h"
#include "decoding/text_decoder.h"

#include <algorithm>
#include <sstream>
#include <string>

namespace marlowin {
namespace {

// Labels match ignoring ASCII case and surrounding ASCII whitespace, and nothing else.
TEST(EncodingLabels, MatchIgnoringAsciiCaseAndSpaceOnly) {
    const struct {
        const char* label;
        const char* encoding;
    } rows[] = {
        {"gb2312", "GBK"},   {" \t\nGb2312\f\r ", "GBK"}, {"UTF-16", "UTF-16LE"},
        {"", "none"},        {"gb 2312", "none"},         {"utf-7", "none"},
        {"gb2312;", "none"}, {"\xC2\xA0gbk", "none"},     {"utf-8x", "none"},
    };
    for (const auto& row : rows) {
        const Encoding* found = encoding_for_label(row.label);
        EXPECT_EQ(found != nullptr ? found->name : "none", row.encoding) << row.label;
    }
}

// Every name Debian's uchardet (0.0.7) can give, read from its probers and language models,
// and the encoding of the standard that reads what it names ("same": the encoding of that name).
TEST(DetectorNames, EachNamesTheEncodingThatReadsIt) {
    const struct {
        const char* names;
        const char* encoding;
    } rows[] = {
        {"UTF-8 GB18030 BIG5 EUC-JP SHIFT_JIS ISO-2022-JP IBM866 KOI8-R ISO-8859-2 ISO-8859-3 "
         "ISO-8859-4 ISO-8859-5 ISO-8859-6 ISO-8859-7 ISO-8859-8 ISO-8859-10 ISO-8859-13 "
         "ISO-8859-15 ISO-8859-16 WINDOWS-1250 WINDOWS-1251 WINDOWS-1253 WINDOWS-1255 "
         "WINDOWS-1256 WINDOWS-1257 WINDOWS-1258",
         "same"},
        {"ASCII ISO-8859-1 WINDOWS-1252", "windows-1252"},
        {"UHC", "EUC-KR"},
        {"MAC-CYRILLIC", "x-mac-cyrillic"},
        {"TIS-620 ISO-8859-11", "windows-874"},
        {"ISO-8859-9 WINDOWS-1254", "windows-1254"},
        {"EUC-TW ISO-2022-CN ISO-2022-KR HZ-GB-2312 JOHAB VISCII IBM852 IBM855 "
         "MAC-CENTRALEUROPE UTF-16 UTF-32",
         "none"},
    };
    for (const auto& row : rows) {
        std::istringstream names(row.names);
        for (std::string name; names >> name;) {
            const Encoding* found = encoding_for_detector_name(name);
            const std::string want = row.encoding == std::string_view("same") ? name : row.encoding;
            std::string got = found != nullptr ? std::string(found->name) : "none";
            if (want == name) {
                std::transform(got.begin(), got.end(), got.begin(),
                               [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
            }
            EXPECT_EQ(got, want) << name;
        }
    }
}

// Each encoding's decoder must exist in this build of ICU: a missing converter would only
// show on the first page that needs it.
TEST(EncodingLabels, EveryEncodingDecodes) {
    for (const Encoding& encoding : all_encodings()) {
        EXPECT_NO_THROW(static_cast<void>(decode_bytes(encoding, std::string_view("A"))))
            << encoding.name;
        EXPECT_EQ(encoding_for_label(encoding.name), &encoding) << "its name is a label";
    }
}

}  // namespace
}  // namespace marlowin
