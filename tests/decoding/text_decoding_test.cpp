#include <gtest/gtest.h>

#include <random>
#include <stop_token>
#include <string>

#include "decoding/charset_detector.h"
#include "decoding/decoding_error.h"
#include "decoding/encoding_sniffing.h"
#include "decoding/encodings.h"
#include "decoding/html_decoding.h"
#include "decoding/text_decoder.h"
#include "decoding/utf8_validator.h"
#include "tests/shared/utf8_reference.h"

namespace marlowin {
namespace {

using Id = EncodingId;

// Each pass over a page looks at a stop request: the validation, the <meta> scan, the detector
// and every decoder, and so the whole decoding, end with DecodingCancelled at once.
TEST(DecodeBytes, EveryPassOverAPageHonoursAStop) {
    std::stop_source stopping;
    stopping.request_stop();
    const std::stop_token stop = stopping.get_token();
    const std::string page = "<p>" + std::string(std::size_t{1} << 20, 'x');
    EXPECT_THROW(static_cast<void>(is_valid_utf8(page, stop)), DecodingCancelled);
    EXPECT_THROW(static_cast<void>(late_meta_charset(page, stop)), DecodingCancelled);
    EXPECT_THROW(static_cast<void>(guess_encoding(page, stop)), DecodingCancelled);
    for (const Encoding& encoding : all_encodings()) {
        if (encoding.kind != DecoderKind::Replacement) {
            EXPECT_THROW(static_cast<void>(decode_bytes(encoding, std::string_view(page), stop)),
                         DecodingCancelled)
                << encoding.name;
        }
    }
    EXPECT_THROW(static_cast<void>(decode_html_bytes(page, "text/html", std::nullopt, stop)),
                 DecodingCancelled);
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
