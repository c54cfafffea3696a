#include "transfer/encodings.h"

#include <gtest/gtest.h>

#include "transfer/text_decoder.h"

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
