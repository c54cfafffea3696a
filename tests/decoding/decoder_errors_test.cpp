// Each decoder's steps as today's Encoding Standard writes them, one table per decoder: every
// error step, which bytes it reads again, and the end of the input in the middle of every
// sequence. The exhaustive index comparison covers the well-formed sequences.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "decoding/encodings.h"
#include "decoding/text_decoder.h"

namespace marlowin {
namespace {

using namespace std::string_literals;
using Id = EncodingId;

struct Row {
    std::string bytes;
    std::string text;  // UTF-8; "�" is U+FFFD
};

void expect_reads(Id id, const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        EXPECT_EQ(decode_bytes(encoding(id), row.bytes).text, row.text)
            << encoding(id).name << " " << ::testing::PrintToString(row.bytes);
    }
}

TEST(DecoderSteps, Gb18030) {
    expect_reads(
        Id::Gb18030,
        {{"\x80", "€"},
         {"\xFF", "�"},
         {"\x81\x40", "丂"},
         {"\x81\x7F", "�\x7F"},  // no pointer; an ASCII byte is read again
         {"\x81\xFF", "�"},      // a byte that is not ASCII is not
         {"\x81\x30\x81\x30", "\u0080"},
         {"\x81\x35\xF4\x37", "\uE7C7"},  // pointer 7457
         {"\x90\x30\x81\x30", "\U00010000"},
         {"\xE3\x32\x9A\x35", "\U0010FFFF"},
         // a well-formed four-byte sequence without a code point is one error, all four bytes
         {"\x84\x31\xA5\x30"
          "abc",
          "�abc"},
         {"\x85\x30\x81\x30", "�"},  // pointer 50400, between the ranges
         {"\xFE\x39\xFE\x39", "�"},  // past U+10FFFF
         // a fourth byte that is not a digit: the second, third and fourth are read again
         {"\x81\x30\x81\x41", "�0丄"},
         // a third byte outside 0x81-0xFE: the second and third are read again
         {"\x81\x30\x30", "�00"},
         {"\x81\x30\xFF", "�0�"},
         // the end in the middle of a sequence: one error for all of it
         {"a\x81", "a�"},
         {"a\x81\x30", "a�"},
         {"a\x81\x30\x81", "a�"}});
}

TEST(DecoderSteps, Big5) {
    expect_reads(
        Id::Big5,
        {{"\xA4\x40", "一"},
         {"\x88\x62", "\u00CA\u0304"},  // the four pointers that read two code points
         {"\x88\x64", "\u00CA\u030C"},
         {"\x88\xA3", "\u00EA\u0304"},
         {"\x88\xA5", "\u00EA\u030C"},
         {"\x81\x40", "�@"},  // a pointer without a code point; the ASCII byte is read again
         {"\xA4\x20", "� "},  // no pointer
         {"\x81\xA1", "�"},
         {"\xA4\xFF", "�"},
         {"\x80", "�"},
         {"\xFF", "�"},
         {"a\xA4", "a�"}});
}

TEST(DecoderSteps, EucJp) {
    expect_reads(Id::EucJp, {{"\xB0\xA1", "亜"},
                             {"\x8E\xA1", "｡"},
                             {"\x8E\xDF", "ﾟ"},
                             {"\x8E\xE0", "�"},  // 0x8E leads half-width katakana only
                             {"\x8E\x41", "�A"},
                             {"\x8F\xB0\xA1", "丂"},  // 0x8F: JIS X 0212
                             {"\x8F\xA1\xA1", "�"},
                             {"\x8F\x41", "�A"},
                             {"\x8F\xA1\x41", "�A"},
                             {"\x8F\xB0\xFF", "�"},
                             {"\x8F\xA1\xA1\xB0\xA1", "�亜"},  // back to JIS X 0208 after an error
                             {"\xA9\xA1", "�"},
                             {"\xB0\x41", "�A"},
                             {"\x80", "�"},
                             {"\xA0", "�"},
                             {"\xFF", "�"},
                             {"a\x8E", "a�"},
                             {"a\x8F", "a�"},
                             {"a\x8F\xA1", "a�"},
                             {"a\xB0", "a�"}});
}

TEST(DecoderSteps, ShiftJis) {
    expect_reads(
        Id::ShiftJis,
        {{"\x88\x9F", "亜"},
         {"\x80", "\u0080"},
         {"\xA1", "｡"},
         {"\xDF", "ﾟ"},
         {"\xF0\x40", "\uE000"},  // the private-use range, pointers 8836-10715
         {"\xF9\xFC", "\uE757"},
         {"\x85\x40", "�@"},  // a pointer without a code point; the ASCII byte is read again
         {"\x81\x20", "� "},
         {"\x81\x7F", "�\x7F"},
         {"\x81\xFD", "�"},
         {"\xA0", "�"},
         {"\xFD", "�"},
         {"a\x81", "a�"}});
}

TEST(DecoderSteps, EucKr) {
    expect_reads(Id::EucKr, {{"\xB0\xA1", "가"},
                             {"\x81\x41", "갂"},
                             {"\x81\x40", "�@"},  // no pointer; the ASCII byte is read again
                             {"\x81\x20", "� "},
                             {"\xC9\xA1", "�"},  // a pointer without a code point
                             {"\x81\xFF", "�"},
                             {"\x80", "�"},
                             {"\xFF", "�"},
                             {"a\x81", "a�"}});
}

TEST(DecoderSteps, Iso2022Jp) {
    expect_reads(Id::Iso2022Jp,
                 {{"a\x0E\x0F\x80", "a���"},
                  {"\x1B(Ja\\~\x0E", "a¥‾�"},  // Roman
                  {"\x1B(I!_`", "｡ﾟ�"},        // katakana
                  {"\x1B$B0!\x1B(B", "亜"},    // leading and trailing byte
                  {"\x1B$@0!", "亜"},
                  {"\x1B$B\n", "�"},         // a leading byte out of range
                  {"\x1B$B)!", "�"},         // a pointer without a code point
                  {"\x1B$B0\n", "�"},        // a trailing byte out of range is not read again
                  {"\x1B$B0\x1B(Ba", "�a"},  // an escape in place of a trailing byte
                  {"\x1B$B0", "�"},          // the end in place of a trailing byte
                  {"\x1B"
                   "a",
                   "�a"},  // not an escape: the byte is read again
                  {"\x1B", "�"},
                  {"\x1B(Z", "�(Z"},  // an unknown escape: its two bytes are read again
                  {"\x1B$", "�$"},
                  {"\x1B(", "�("},
                  {"\x1B\x1B(Ba", "�a"},
                  {"\x1B(Ba\x1B(B", "a"},   // escapes at the start and the end
                  {"\x1B(J\x1B(Ba", "�a"},  // an escape straight after another
                  {"\x1B(J\\\x1B(B\\", "¥\\"}});
}

TEST(DecoderSteps, Utf8) {
    expect_reads(Id::Utf8, {{"\xE4\xB8\xADx", "中x"},
                            {"a\xFF"
                             "b",
                             "a�b"},
                            {"\x80", "�"},
                            {"\xC0\x80", "��"},  // no overlong forms
                            {"\xE0\x80\x80", "���"},
                            {"\xE0\xA0", "�"},        // the end after a maximal subpart: one error
                            {"\xED\xA0\x80", "���"},  // no surrogates
                            {"\xED\x9F\xBF", "\uD7FF"},
                            {"\xF0\x90\x80", "�"},
                            {"\xF0\x90\x41", "�A"},
                            {"\xF4\x90\x80\x80", "����"},  // nothing above U+10FFFF
                            {"\xF5", "�"},
                            {"\xE2\x82"
                             "a",
                             "�a"},
                            {"\xC2", "�"}});
}

TEST(DecoderSteps, Utf16) {
    expect_reads(Id::Utf16Be,
                 {{"\x6A\x19"s, "標"},
                  {"\xD8\x3D\xDE\x00"s, "😀"},
                  {"\x00\x41\x00"s, "A�"},      // an odd byte at the end
                  {"\xDC\x00\x00\x41"s, "�A"},  // a lone trailing surrogate
                  {"\xD8\x00\x00\x41"s, "�A"},  // a lone leading one: the next unit is read again
                  {"\xD8\x00\xD8\x3D\xDE\x00"s, "�😀"},
                  {"\xD8\x00"s, "�"},  // a leading surrogate at the end
                  {"\xD8\x00\xDC"s, "�"}});
    expect_reads(Id::Utf16Le, {{"\x19\x6A"s, "標"},
                               {"\x3D\xD8\x00\xDE"s, "😀"},
                               {"\x00\xD8\x41\x00"s, "�A"},
                               {"A\0B"s, "A�"}});
}

TEST(DecoderSteps, WithoutAnIndex) {
    expect_reads(Id::XUserDefined, {{"A\x80\xFF", "A\uF780\uF7FF"}});
    expect_reads(Id::Replacement, {{"anything", "�"}, {"", ""}});
}

}  // namespace
}  // namespace marlowin
