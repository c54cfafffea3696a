// The rules of a response, judged on the bytes alone: heads in, verdicts out; bodies in
// pieces, documents or refusals out. The transfer tests check that libcurl hands them over.
#include "transfer/response_reader.h"

#include <gtest/gtest.h>

#if defined(MARLOWIN_HAVE_BROTLI) && defined(MARLOWIN_HAVE_ZSTD)
#include <brotli/encode.h>
#include <zstd.h>
#endif

#include <optional>
#include <string>
#include <vector>

#include "tests/transfer/transfer_test_helpers.h"

namespace marlowin {
namespace {

using Head = ResponseReader::Head;

std::optional<Failure> failure_of(const ResponseReader& reader) {
    return reader.refusal() ? reader.refusal()->failure : std::nullopt;
}

TEST(ResponseReader, EachHeadGetsItsVerdict) {
    const std::vector<std::string> none;
    const struct {
        ResponseHead head;
        Head verdict;
        std::optional<Failure> failure;
        std::string location;
    } rows[] = {
        {{200, none, none, {"12"}}, Head::ReadBody, {}, ""},
        {{100, none, none, none}, Head::AwaitFinal, {}, ""},
        {{101, none, none, none}, Head::Refused, Failure::SwitchedProtocols, ""},
        {{200, none, none, {"12", "12, 12"}}, Head::ReadBody, {}, ""},
        {{200, none, none, {"12", "13"}}, Head::Refused, Failure::ConflictingLengths, ""},
        {{200, none, none, {"12,13"}}, Head::Refused, Failure::ConflictingLengths, ""},
        {{302, {"/next"}, none, none}, Head::Redirect, {}, "/next"},
        {{307, {"/a", "/a"}, none, none}, Head::Redirect, {}, "/a"},
        {{301, {"/a", "/b"}, none, none}, Head::Refused, Failure::TwoLocations, ""},
        // A Location naming this very document: no new request, the body is the page.
        {{302, {""}, none, none}, Head::ReadBody, {}, ""},
        {{302, {"#top"}, none, none}, Head::ReadBody, {}, ""},
        {{300, {"/x"}, none, none}, Head::ReadBody, {}, ""},
        // The cap is 1000 bytes; a redirect's declared body is never read.
        {{200, none, none, {"1001"}}, Head::Refused, Failure::TooLarge, ""},
        {{302, {"/x"}, none, {"5000"}}, Head::Redirect, {}, "/x"},
    };
    for (const auto& row : rows) {
        ResponseReader reader(1000);
        EXPECT_EQ(reader.head_ended(row.head), row.verdict) << row.head.status;
        EXPECT_EQ(failure_of(reader), row.failure) << row.head.status;
        EXPECT_EQ(reader.location(), row.location) << row.head.status;
    }
}

// A head's lines count against its limit, to the byte; the heads of one request (an
// informational one and the final) share it.
TEST(ResponseReader, HeadsHaveALimit) {
    ResponseReader reader(1000);
    EXPECT_EQ(reader.header_line("HTTP/1.1 100 Continue\r\n"), ResponseReader::Line::More);
    EXPECT_EQ(reader.header_line("\r\n"), ResponseReader::Line::HeadEnded);  // 25 bytes so far
    const std::string rest(kMaxHeaderBytes - 25, 'x');
    EXPECT_EQ(reader.header_line(rest), ResponseReader::Line::More);
    EXPECT_EQ(reader.header_line("y"), ResponseReader::Line::Refused);
    EXPECT_EQ(failure_of(reader), Failure::HeadersTooLong);
}

// The body, in whatever pieces it comes, decoded and counted after decompression to the byte;
// a coding that does not end where it should, or has other bytes after it, refused; an unknown
// coding left as it came; an empty body an empty page in every coding.
TEST(ResponseReader, BodiesAreWholeOrRefused) {
    std::string page = "<title>压缩</title>";
    for (int i = 0; page.size() < 30000; ++i) {
        page += std::to_string(i * 7919 % 10007) + ' ';
    }
    const std::string gzipped = testing::gzip(page);
    const std::string zlib_page = testing::deflated(page, 15);
    struct Row {
        std::string coding;
        std::string body;
        std::optional<std::string> document;  // nothing: refused as broken
    };
    std::vector<Row> rows{
        {"", page, page},
        {"gzip", gzipped, page},
        {"x-gzip", gzipped.substr(0, gzipped.size() * 6 / 10), std::nullopt},
        {"gzip", gzipped.substr(0, gzipped.size() - 8), std::nullopt},
        {"gzip", gzipped + "trailing bytes", std::nullopt},
        {"gzip", gzipped + testing::gzip("<p>second</p>"), page},  // the first member, as Chromium
        {"Deflate", zlib_page, page},
        {"deflate", testing::deflated(page, -15), page},
        {"deflate", zlib_page.substr(0, zlib_page.size() / 2), std::nullopt},
        {"foo", "<title>as it came</title>", "<title>as it came</title>"},
        {"deflate, gzip", testing::gzip(zlib_page), page},
        {"gzip", "", ""},
        {"deflate", "x", std::nullopt},
    };
#if defined(MARLOWIN_HAVE_BROTLI) && defined(MARLOWIN_HAVE_ZSTD)
    std::string brotli(BrotliEncoderMaxCompressedSize(page.size()), '\0');
    std::size_t brotli_size = brotli.size();
    BrotliEncoderCompress(9, BROTLI_DEFAULT_WINDOW, BROTLI_MODE_TEXT, page.size(),
                          reinterpret_cast<const std::uint8_t*>(page.data()), &brotli_size,
                          reinterpret_cast<std::uint8_t*>(brotli.data()));
    brotli.resize(brotli_size);
    std::string zstd(ZSTD_compressBound(page.size()), '\0');
    zstd.resize(ZSTD_compress(zstd.data(), zstd.size(), page.data(), page.size(), 3));
    rows.insert(rows.end(),
                {
                    {"br", brotli, page},
                    {"br", brotli.substr(0, brotli.size() / 2), std::nullopt},
                    {"br", "", ""},
                    {"zstd", zstd, page},
                    {"zstd", zstd.substr(0, zstd.size() / 2), std::nullopt},
                    {"zstd", "", ""},
                    // A frame that declares 65 bytes and holds none.
                    {"zstd", std::string("\x28\xB5\x2F\xFD\x20\x41\x01\x00\x00", 9), std::nullopt},
                    // A frame that asks for a window of 128 MiB, where browsers allow 8.
                    {"zstd", std::string("\x28\xB5\x2F\xFD\x00\x88\x01\x00\x00", 9), std::nullopt},
                });
#endif
    for (const Row& row : rows) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{5}, std::size_t{1} << 20}) {
            ResponseReader reader(std::size_t{1} << 20);
            ASSERT_EQ(reader.head_ended({200, {}, {row.coding}, {}}), Head::ReadBody);
            bool going = true;
            for (std::size_t at = 0; going && at < row.body.size(); at += piece) {
                going = reader.body(std::string_view(row.body).substr(at, piece));
            }
            const std::optional<FetchedDocument> document = reader.finish("text/html");
            EXPECT_EQ(document ? std::optional(document->body) : std::nullopt, row.document)
                << row.coding << " in pieces of " << piece;
        }
    }

    // The cap counts the document after decompression, up to the byte.
    for (const std::size_t size : {std::size_t{1000}, std::size_t{1001}}) {
        ResponseReader reader(1000);
        ASSERT_EQ(reader.head_ended({200, {}, {"gzip"}, {}}), Head::ReadBody);
        EXPECT_EQ(reader.body(testing::gzip(std::string(size, 'a'))), size == 1000);
        EXPECT_EQ(reader.finish("").has_value(), size == 1000);
        EXPECT_EQ(failure_of(reader),
                  size == 1000 ? std::nullopt : std::optional(Failure::TooLarge));
    }
}

}  // namespace
}  // namespace marlowin
