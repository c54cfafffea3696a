// Each decoder's steps as today's Encoding Standard writes them, one table per decoder: every
// error step, which bytes it reads again, and the end of the input in the middle of every
// sequence. The exhaustive index comparison covers the well-formed sequences.
#include <gtest/gtest.h>

#include <string>
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

// The tables keep several rows to a line, each group under the step it exercises.
// clang-format off
TEST(DecoderSteps, Gb18030) {
    expect_reads(Id::Gb18030, {
        // one byte; two bytes, with an ASCII second byte read again after an error
        {"\x80", "€"}, {"\xFF", "�"}, {"\x81\x7F", "�\x7F"}, {"\x81\xFF", "�"},
        // four bytes: pointer 7457, and the ranges' ends
        {"\x81\x35\xF4\x37", "\uE7C7"}, {"\x90\x30\x81\x30", "\U00010000"},
        {"\xE3\x32\x9A\x35", "\U0010FFFF"},
        // a well-formed four-byte sequence without a code point is one error, all four bytes
        {"\x84\x31\xA5\x30" "abc", "�abc"}, {"\x85\x30\x81\x30", "�"}, {"\xFE\x39\xFE\x39", "�"},
        // a fourth byte that is no digit: the second, third and fourth are read again; a
        // third byte outside 0x81-0xFE: the second and third
        {"\x81\x30\x81\x41", "�0丄"}, {"\x81\x30\x30", "�00"}, {"\x81\x30\xFF", "�0�"},
        // the end in the middle of a sequence: one error for all of it
        {"a\x81", "a�"}, {"a\x81\x30", "a�"}, {"a\x81\x30\x81", "a�"}});
}

TEST(DecoderSteps, Big5) {
    expect_reads(Id::Big5, {
        // the four pointers that read two code points
        {"\x88\x62", "\u00CA\u0304"}, {"\x88\x64", "\u00CA\u030C"},
        {"\x88\xA3", "\u00EA\u0304"}, {"\x88\xA5", "\u00EA\u030C"},
        // no code point, or no pointer: an ASCII byte is read again
        {"\x81\x40", "�@"}, {"\xA4\x20", "� "}, {"\x81\xA1", "�"}, {"\xA4\xFF", "�"},
        {"\x80", "�"}, {"\xFF", "�"}, {"a\xA4", "a�"}});
}

TEST(DecoderSteps, EucJp) {
    expect_reads(Id::EucJp, {
        // 0x8E leads half-width katakana only; 0x8F leads JIS X 0212
        {"\x8E\xA1", "｡"}, {"\x8E\xDF", "ﾟ"}, {"\x8E\xE0", "�"}, {"\x8E\x41", "�A"},
        {"\x8F\xB0\xA1", "丂"}, {"\x8F\xA1\xA1", "�"}, {"\x8F\x41", "�A"},
        {"\x8F\xA1\x41", "�A"}, {"\x8F\xB0\xFF", "�"},
        {"\x8F\xA1\xA1\xB0\xA1", "�亜"},  // back to JIS X 0208 after an error
        {"\xA9\xA1", "�"}, {"\xB0\x41", "�A"}, {"\x80", "�"}, {"\xA0", "�"}, {"\xFF", "�"},
        {"a\x8E", "a�"}, {"a\x8F", "a�"}, {"a\x8F\xA1", "a�"}, {"a\xB0", "a�"}});
}

TEST(DecoderSteps, ShiftJis) {
    expect_reads(Id::ShiftJis, {
        {"\x80", "\u0080"}, {"\xA1", "｡"}, {"\xDF", "ﾟ"},
        {"\xF0\x40", "\uE000"}, {"\xF9\xFC", "\uE757"},  // private use, pointers 8836-10715
        {"\x85\x40", "�@"}, {"\x81\x20", "� "}, {"\x81\x7F", "�\x7F"}, {"\x81\xFD", "�"},
        {"\xA0", "�"}, {"\xFD", "�"}, {"a\x81", "a�"}});
}

TEST(DecoderSteps, EucKr) {
    expect_reads(Id::EucKr, {
        {"\x81\x41", "갂"}, {"\x81\x40", "�@"}, {"\x81\x20", "� "}, {"\xC9\xA1", "�"},
        {"\x81\xFF", "�"}, {"\x80", "�"}, {"\xFF", "�"}, {"a\x81", "a�"}});
}

TEST(DecoderSteps, Iso2022Jp) {
    expect_reads(Id::Iso2022Jp, {
        {"a\x0E\x0F\x80", "a���"},
        {"\x1B(Ja\\~\x0E", "a¥‾�"},  // Roman
        {"\x1B(I!_`", "｡ﾟ�"},         // katakana
        {"\x1B$B0!\x1B(B", "亜"}, {"\x1B$@0!", "亜"},
        // a leading byte out of range; no code point; a trailing byte out of range, which is
        // not read again; an escape, or the end, in place of a trailing byte
        {"\x1B$B\n", "�"}, {"\x1B$B)!", "�"}, {"\x1B$B0\n", "�"}, {"\x1B$B0\x1B(Ba", "�a"},
        {"\x1B$B0", "�"},
        // not an escape, or an unknown one: its bytes are read again
        {"\x1B" "a", "�a"}, {"\x1B", "�"}, {"\x1B(Z", "�(Z"}, {"\x1B$", "�$"}, {"\x1B(", "�("},
        {"\x1B\x1B(Ba", "�a"},
        // escapes at the start and the end are fine; one straight after another is not
        {"\x1B(Ba\x1B(B", "a"}, {"\x1B(J\x1B(Ba", "�a"}, {"\x1B(J\\\x1B(B\\", "¥\\"}});
}

TEST(DecoderSteps, Utf8) {
    expect_reads(Id::Utf8, {
        {"\xE4\xB8\xADx", "中x"}, {"a\xFF" "b", "a�b"}, {"\x80", "�"}, {"\xF5", "�"},
        // no overlong forms, no surrogates, nothing above U+10FFFF: each maximal subpart is
        // one error, and the end after one is one more
        {"\xC0\x80", "��"}, {"\xE0\x80\x80", "���"}, {"\xED\xA0\x80", "���"},
        {"\xED\x9F\xBF", "\uD7FF"}, {"\xF4\x90\x80\x80", "����"}, {"\xF0\x90\x41", "�A"},
        {"\xE2\x82" "a", "�a"}, {"\xE0\xA0", "�"}, {"\xF0\x90\x80", "�"}, {"\xC2", "�"}});
}

TEST(DecoderSteps, Utf16) {
    expect_reads(Id::Utf16Be, {
        {"\x6A\x19"s, "標"}, {"\xD8\x3D\xDE\x00"s, "😀"},
        {"\x00\x41\x00"s, "A�"},      // an odd byte at the end
        {"\xDC\x00\x00\x41"s, "�A"},  // a lone trailing surrogate
        // a lone leading one: the next unit is read again; at the end, one error
        {"\xD8\x00\x00\x41"s, "�A"}, {"\xD8\x00\xD8\x3D\xDE\x00"s, "�😀"}, {"\xD8\x00"s, "�"},
        {"\xD8\x00\xDC"s, "�"}});
    expect_reads(Id::Utf16Le, {
        {"\x19\x6A"s, "標"}, {"\x3D\xD8\x00\xDE"s, "😀"}, {"\x00\xD8\x41\x00"s, "�A"},
        {"A\0B"s, "A�"}});
}

// clang-format on

TEST(DecoderSteps, WithoutAnIndex) {
    expect_reads(Id::XUserDefined, {{"A\x80\xFF", "A\uF780\uF7FF"}});
    expect_reads(Id::Replacement, {{"anything", "�"}, {"", ""}});
}

}  // namespace
}  // namespace marlowin
