#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/support/utf8_reference.h"
#include "transfer/encodings.h"
#include "transfer/text_decoder.h"
#include "transfer/utf8_validator.h"

namespace marlowin {
namespace {

using Id = EncodingId;

// What the served pages do not show: each decoder's own corners, and malformed input, which
// becomes U+FFFD and never an error.
TEST(DecodeBytes, ReadsEachEncodingAsBrowsersDo) {
    const std::string bad = "\xEF\xBF\xBD";  // U+FFFD
    const struct {
        EncodingId encoding;
        std::string bytes;
        std::string text;
    } rows[] = {
        {Id::Gbk, "\x80", "€"},  // a lone 0x80 is the euro sign
        {Id::Gb18030, "\x81\x30\x81\x30", "\xC2\x80"},
        {Id::Utf16Be, std::string("\x6A\x19\x98\x4C", 4), "標題"},
        // Latin-1 labels read 0x80-0x9F as windows-1252 does; its five holes stay C1 controls.
        {Id::Windows1252, "\x80\x81\x82\x8D\x9F", "€\xC2\x81‚\xC2\x8DŸ"},
        {Id::Iso8859_16, "\xA4\xAA\xDE\x41", "€ȘȚA"},
        {Id::XUserDefined, "A\x80\xFF", "A\xEF\x9E\x80\xEF\x9F\xBF"},
        {Id::Replacement, "anything", bad},
        {Id::Replacement, "", ""},
        {Id::Utf8,
         "a\xFF"
         "b\xED\xA0\x80"
         "c",
         "a" + bad + "b" + bad + bad + bad + "c"},
        {Id::Utf8, "\xE4\xB8", bad},
        {Id::Gbk, "a\xD6", "a" + bad},
        {Id::Utf16Le, std::string("\x00\xD8\x41\x00", 4), bad + "A"},
        {Id::Utf16Le, std::string("A\0B", 3), "A" + bad},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(decode_bytes(encoding(row.encoding), row.bytes).text, row.text)
            << encoding(row.encoding).name;
    }
}

// Big pages are decoded in pieces on several threads; the result must be exactly what one
// pass gives. Decoding line by line (a line break is always a character boundary) is the
// one-pass yardstick; malformed bytes are sprinkled everywhere, including at line ends.
TEST(DecodeBytes, BigPagesDecodeInPiecesExactlyAsInOnePass) {
    std::mt19937 random(7);
    for (const Encoding& encoding : {encoding(Id::Gbk), encoding(Id::Windows1252)}) {
        // A few leading bytes shift where the pieces are cut relative to the characters.
        for (std::string page : {"", "a", "ab"}) {
            std::string one_pass = page;  // ASCII
            std::size_t malformed = 0;
            while (page.size() < (std::size_t{8} << 20) + 300000) {
                std::string line;
                for (int i = 0; i < 400; ++i) {
                    const unsigned r = random() % 100;
                    if (r < 3) {
                        line += static_cast<char>(0x80 + random() % 0x80);  // a stray lead byte
                    } else if (r < 60) {
                        line += static_cast<char>(0xB0 + random() % 0x40);
                        line += static_cast<char>(0xA1 + random() % 0x5E);
                    } else {
                        line += static_cast<char>('a' + random() % 26);
                    }
                }
                line += '\n';
                const DecodeResult decoded = decode_bytes(encoding, std::string_view(line));
                one_pass += decoded.text;
                malformed += decoded.malformed;
                page += line;
            }
            const DecodeResult whole = decode_bytes(encoding, std::string_view(page));
            EXPECT_TRUE(whole.text == one_pass) << encoding.name;
            EXPECT_EQ(whole.malformed, malformed) << encoding.name;
        }
    }
}

// The bulk path checks 32 bytes at a time; a plain reading of the Unicode table of
// well-formed sequences is the yardstick, on text near and across block edges, checked whole
// and streamed in two parts.
TEST(Utf8Validator, AgreesWithAPlainReadingOnRandomText) {
    std::mt19937 random(99);
    const std::string pieces[] = {"a",
                                  "\x7F",
                                  "\xC2\x80",
                                  "\xDF\xBF",
                                  "\xE0\xA0\x80",
                                  "\xED\x9F\xBF",
                                  "\xEE\x80\x80",
                                  "\xEF\xBF\xBF",
                                  "\xF0\x90\x80\x80",
                                  "\xF4\x8F\xBF\xBF",
                                  "中",
                                  "😀"};
    int invalid = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const std::size_t length = 60 + random() % 140;
        while (text.size() < length) {
            text += pieces[random() % std::size(pieces)];
        }
        const std::size_t at = random() % text.size();
        switch (round % 4) {  // one corrupted, inserted or cut byte, or none
            case 1:
                text[at] = static_cast<char>(random());
                break;
            case 2:
                text.insert(at, 1, static_cast<char>(0x80 + random() % 0x80));
                break;
            case 3:
                text.resize(at);
                break;
        }
        const bool want = testing::reference_well_formed_utf8(text);
        invalid += want ? 0 : 1;
        ASSERT_EQ(is_valid_utf8(text), want) << ::testing::PrintToString(text);
        Utf8Validator streamed;
        const std::size_t split = random() % (text.size() + 1);
        streamed.feed(std::string_view(text).substr(0, split));
        streamed.feed(std::string_view(text).substr(split));
        ASSERT_EQ(streamed.valid(), want) << ::testing::PrintToString(text);
    }
    EXPECT_GT(invalid, 3000);
}

}  // namespace
}  // namespace marlowin
