#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/support/utf8_reference.h"
#include "transfer/encodings.h"
#include "transfer/html_decoding.h"
#include "transfer/text_decoder.h"
#include "transfer/utf8_validator.h"

namespace marlowin {
namespace {

using Id = EncodingId;

std::string decode(EncodingId id, std::string_view bytes) {
    return decode_bytes(encoding(id), bytes).text;
}

TEST(DecodeBytes, ReadsEachEncodingAsBrowsersDo) {
    const struct {
        EncodingId encoding;
        std::string bytes;
        const char* text;
    } rows[] = {
        // GBK characters outside GB2312 (镕) must survive a page labelled gb2312.
        {Id::Gbk, "\xD6\xEC\xE9\x46\xBB\xF9", "朱镕基"},
        {Id::Gbk, "\x80", "€"},  // a lone 0x80 is the euro sign
        {Id::Gb18030, "\x81\x30\x81\x30", "\xC2\x80"},
        {Id::Big5, "\xA4\xA4\xA4\xE5\xBC\xD0\xC3\x44", "中文標題"},
        {Id::ShiftJis, "\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x5E\x83\x43\x83\x67\x83\x8B",
         "日本語のタイトル"},
        {Id::EucKr, "\xC7\xD1\xB1\xB9\xBE\xEE\x20\xC1\xA6\xB8\xF1", "한국어 제목"},
        {Id::Utf16Le, std::string("\x19\x6A\x4C\x98", 4), "標題"},
        {Id::Utf16Be, std::string("\x6A\x19\x98\x4C", 4), "標題"},
        // Latin-1 labels read 0x80-0x9F as windows-1252 does; its five holes stay C1 controls.
        {Id::Windows1252, "\x80\x81\x82\x8D\x9F", "€\xC2\x81‚\xC2\x8DŸ"},
        {Id::Iso8859_16, "\xA4\xAA\xDE\x41", "€ȘȚA"},
        {Id::XUserDefined, "A\x80\xFF", "A\xEF\x9E\x80\xEF\x9F\xBF"},
        {Id::Replacement, "anything", "\xEF\xBF\xBD"},
        {Id::Replacement, "", ""},
        // Malformed input becomes U+FFFD, never an error.
        {Id::Utf8,
         "a\xFF"
         "b\xED\xA0\x80"
         "c",
         "a\xEF\xBF\xBD"
         "b\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
         "c"},
        {Id::Utf8, "\xE4\xB8", "\xEF\xBF\xBD"},
        {Id::Gbk, "a\xD6", "a\xEF\xBF\xBD"},
        {Id::Utf16Le, std::string("\x00\xD8\x41\x00", 4),
         "\xEF\xBF\xBD"
         "A"},
        {Id::Utf16Le,
         std::string("A\x00"
                     "B",
                     3),
         "A\xEF\xBF\xBD"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(decode(row.encoding, row.bytes), row.text) << encoding(row.encoding).name;
    }
}

// Whatever the bytes, every decoder produces well-formed UTF-8.
TEST(DecodeBytes, RandomBytesAlwaysGiveWellFormedUtf8) {
    std::mt19937 random(20261206);
    for (const Encoding& encoding : all_encodings()) {
        for (int round = 0; round < 50; ++round) {
            std::string bytes(random() % 300, '\0');
            for (char& c : bytes) {
                c = static_cast<char>(random());
            }
            ASSERT_TRUE(testing::reference_well_formed_utf8(decode_bytes(encoding, bytes).text))
                << encoding.name;
        }
    }
}

// Big pages are decoded in pieces on several threads; the result must be exactly what one
// pass gives. Decoding line by line (a line break is always a character boundary) is the
// one-pass yardstick; malformed bytes are sprinkled everywhere, including at line ends.
TEST(DecodeBytes, BigPagesDecodeInPiecesExactlyAsInOnePass) {
    std::mt19937 random(7);
    for (const EncodingId encoding_id : {Id::Gbk, Id::Big5, Id::Windows1252}) {
        const Encoding& encoding = marlowin::encoding(encoding_id);
        // A few leading bytes shift where the pieces are cut relative to the characters.
        for (const std::string lead : {"", "a", "ab"}) {
            std::string page = lead;
            std::vector<std::size_t> line_starts{0};
            while (page.size() < (std::size_t{8} << 20) + 300000) {
                for (int i = 0; i < 400; ++i) {
                    const unsigned r = random() % 100;
                    if (r < 3) {
                        page += static_cast<char>(0x80 + random() % 0x80);  // a stray lead byte
                    } else if (r < 60) {
                        page += static_cast<char>(0xB0 + random() % 0x40);
                        page += static_cast<char>(0xA1 + random() % 0x5E);
                    } else {
                        page += static_cast<char>('a' + random() % 26);
                    }
                }
                page += '\n';
                line_starts.push_back(page.size());
            }
            std::string one_pass;
            std::size_t malformed = 0;
            for (std::size_t i = 0; i + 1 < line_starts.size(); ++i) {
                const auto line = decode_bytes(
                    encoding, std::string_view(page).substr(line_starts[i],
                                                            line_starts[i + 1] - line_starts[i]));
                one_pass += line.text;
                malformed += line.malformed;
            }
            const auto whole = decode_bytes(encoding, std::string_view(page));
            EXPECT_TRUE(whole.text == one_pass) << encoding.name << " after \"" << lead << '"';
            EXPECT_EQ(whole.malformed, malformed) << encoding.name;
        }
    }
}

// The bulk path checks 32 bytes at a time; a plain reading of the Unicode table of
// well-formed sequences is the yardstick, on text near and across block edges.
TEST(Utf8Validator, BulkPathAgreesWithAPlainReadingOnRandomText) {
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
        if (round % 2 == 1) {
            // One corrupted, inserted or cut byte somewhere.
            const std::size_t at = random() % text.size();
            switch (random() % 3) {
                case 0:
                    text[at] = static_cast<char>(random());
                    break;
                case 1:
                    text.insert(at, 1, static_cast<char>(0x80 + random() % 0x80));
                    break;
                default:
                    text.resize(at);
                    break;
            }
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

TEST(Utf8Validator, AcceptsOnlyWellFormedSequencesInAnySplit) {
    const struct {
        std::string bytes;
        bool valid;
    } rows[] = {
        {"", true},
        {"plain ascii text, long enough for the word-at-a-time path", true},
        {"中文 и 😀", true},
        {"\xC0\x80", false},          // overlong NUL
        {"\xE0\x80\x80", false},      // overlong
        {"\xED\xA0\x80", false},      // surrogate
        {"\xF4\x90\x80\x80", false},  // above U+10FFFF
        {"\xF5\x80\x80\x80", false},
        {"\xE4\xB8", false},  // cut off
        {"\x80", false},
        {"abcdefgh\xFFijklmnop", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(is_valid_utf8(row.bytes), row.valid) << row.bytes;
        for (std::size_t split = 0; split <= row.bytes.size(); ++split) {
            Utf8Validator validator;
            validator.feed(std::string_view(row.bytes).substr(0, split));
            validator.feed(std::string_view(row.bytes).substr(split));
            EXPECT_EQ(validator.valid(), row.valid) << row.bytes << " split at " << split;
        }
    }
}

TEST(DecodeHtmlBytes, ChoosesTheEncodingInBrowserOrder) {
    const std::string gbk_title = "<title>\xB0\xD9\xB6\xC8\xD2\xBB\xCF\xC2</title>";  // 百度一下
    const struct {
        const char* name;
        std::string bytes;
        const char* content_type;
        const char* encoding;
        EncodingSource source;
        const char* text;
    } rows[] = {
        {"BomBeatsHeader", "\xEF\xBB\xBF<title>\xE4\xB8\xAD</title>", "text/html; charset=gbk",
         "UTF-8", EncodingSource::ByteOrderMark, "<title>中</title>"},
        {"Utf16BomBeatsMeta", std::string("\xFF\xFE<\0a\0", 6), "", "UTF-16LE",
         EncodingSource::ByteOrderMark, "<a"},
        {"HeaderBeatsMeta", "<meta charset=big5>" + gbk_title, "text/html; charset=gb2312", "GBK",
         EncodingSource::ContentType, "<meta charset=big5><title>百度一下</title>"},
        {"UnknownHeaderFallsToMeta", "<meta charset=gbk>" + gbk_title, "text/html; charset=bogus",
         "GBK", EncodingSource::MetaPrescan, "<meta charset=gbk><title>百度一下</title>"},
        {"UndeclaredUtf8", "<title>\xE4\xB8\xAD\xE6\x96\x87</title>", "text/html", "UTF-8",
         EncodingSource::Utf8Check, "<title>中文</title>"},
        {"UndeclaredShortGbk", gbk_title, "", "gb18030", EncodingSource::Gb18030Check,
         "<title>百度一下</title>"},
        {"UndeclaredAscii", "<title>plain</title>", "", "UTF-8", EncodingSource::Utf8Check,
         "<title>plain</title>"},
        {"HeaderLatin1IsWindows1252", "\x93quoted\x94", "text/html; charset=iso-8859-1",
         "windows-1252", EncodingSource::ContentType, "“quoted”"},
    };
    for (const auto& row : rows) {
        const DecodedPage page = decode_html_bytes(row.bytes, row.content_type);
        EXPECT_EQ(page.encoding->name, row.encoding) << row.name;
        EXPECT_EQ(page.source, row.source) << row.name;
        EXPECT_EQ(page.text, row.text) << row.name;
    }
}

// Well-formed UTF-8 with multi-byte characters is what it is, whatever legacy charset the
// server names for it.
TEST(DecodeHtmlBytes, MultiByteUtf8ReadsTheSameUnderEveryLegacyCharset) {
    const std::string pieces[] = {"<", "a", " ", "é", "中", "😀", "\x7F", "<meta charset=gbk>"};
    std::mt19937 random(10);
    for (int round = 0; round < 200; ++round) {
        std::string body = "中";
        while (body.size() < 40 + random() % 200) {
            body += pieces[random() % std::size(pieces)];
        }
        for (const Encoding& legacy : all_encodings()) {
            if (legacy.width != Width::Unicode) {
                const std::string header = "text/html; charset=" + std::string(legacy.name);
                ASSERT_EQ(decode_html_bytes(body, header).text, body) << header;
            }
        }
    }
}

TEST(DecodeHtmlBytes, UndeclaredLegacyTextThatIsNotGb18030GoesToTheDetectorOrWindows1252) {
    // 0xFF cannot start a GB18030 sequence, so this cannot be read as Chinese.
    const DecodedPage page = decode_html_bytes("<p>caf\xE9 cr\xE8me br\xFBl\xE9\xFF</p>", "");
    EXPECT_NE(page.source, EncodingSource::Gb18030Check);
    EXPECT_TRUE(is_valid_utf8(page.text));
    EXPECT_NE(page.text.find("caf\xC3\xA9"), std::string::npos) << page.text;
}

TEST(DecodeHtmlBytes, UndeclaredLongBig5TextIsDetected) {
    std::string body = "<html><body>";
    for (int i = 0; i < 40; ++i) {
        // 中文標題，繁體字的網頁內容。
        body +=
            "\xA4\xA4\xA4\xE5\xBC\xD0\xC3\x44\xA1\x41\xC1\x63\xC5\xE9\xA6\x72\xAA\xBA\xBA\xF4"
            "\xAD\xB6\xA4\xBA\xAE\x65\xA1\x43";
    }
    const DecodedPage page = decode_html_bytes(body, "");
    EXPECT_EQ(page.encoding->name, "Big5");
    EXPECT_NE(page.text.find("中文標題，繁體字的網頁內容。"), std::string::npos);
}

}  // namespace
}  // namespace marlowin
