#include "transfer/encodings.h"

#include <gtest/gtest.h>

#include <string>

#include "transfer/text_decoder.h"

namespace marlowin {
namespace {

TEST(EncodingLabels, ResolveAsBrowsersDo) {
    const struct {
        const char* label;
        const char* encoding;
    } rows[] = {
        {"gb2312", "GBK"},
        {"GBK", "GBK"},
        {"x-gbk", "GBK"},
        {"chinese", "GBK"},
        {"csgb2312", "GBK"},
        {"iso-ir-58", "GBK"},
        {"gb18030", "gb18030"},
        {"big5", "Big5"},
        {"big5-hkscs", "Big5"},
        {"latin1", "windows-1252"},
        {"iso-8859-1", "windows-1252"},
        {"ascii", "windows-1252"},
        {"us-ascii", "windows-1252"},
        {"utf8", "UTF-8"},
        {"UTF-16", "UTF-16LE"},
        {"unicodefffe", "UTF-16BE"},
        {"sjis", "Shift_JIS"},
        {"windows-949", "EUC-KR"},
        {"iso-2022-kr", "replacement"},
        {"hz-gb-2312", "replacement"},
        {" \t\nGb2312\f\r ", "GBK"},
        {"iso-8859-16", "ISO-8859-16"},
        {"x-user-defined", "x-user-defined"},
        {"logical", "ISO-8859-8-I"},
    };
    for (const auto& row : rows) {
        const Encoding* encoding = encoding_for_label(row.label);
        ASSERT_NE(encoding, nullptr) << row.label;
        EXPECT_EQ(encoding->name, row.encoding) << row.label;
    }
}

TEST(EncodingLabels, UnknownLabelsResolveToNothing) {
    for (const char* label :
         {"", "gb 2312", "utf-7", "euc-tw", "gb2312;", "\xC2\xA0gbk", "utf-8x"}) {
        EXPECT_EQ(encoding_for_label(label), nullptr) << label;
    }
}

// Each encoding's decoder must exist in this build of ICU: a missing converter would only
// show on the first page that needs it.
TEST(EncodingLabels, EveryEncodingDecodes) {
    for (const Encoding& encoding : all_encodings()) {
        EXPECT_NO_THROW(static_cast<void>(decode_bytes(encoding, std::string_view("A"))))
            << encoding.name;
    }
}

}  // namespace
}  // namespace marlowin
