#include "transfer/curl_transfer.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "tests/support/local_http_server.h"
#include "tests/transfer/transfer_test_helpers.h"
#include "workflow/transfer_error.h"

namespace marlowin {
namespace {

using namespace std::chrono_literals;
using testing::Connection;
using testing::error_number_of;
using testing::gzip;
using testing::HttpRequest;
using testing::LocalHttpServer;
using testing::quick_options;

// Pages served as a real server would send them, one route per way of declaring (or not
// declaring) the encoding.
TEST(CurlTransfer, DecodesEveryDeclarationRoute) {
    const struct {
        const char* path;
        std::string body;
        const char* content_type;
        const char* text;
    } pages[] = {
        {"/bom", "\xEF\xBB\xBF<title>\xE4\xB8\xAD</title>", "text/html; charset=big5",
         "<title>中</title>"},
        {"/utf16", std::string("\xFF\xFE<\0t\0>\0\x19\x6A", 10), "text/html", "<t>標"},
        {"/header", "<meta charset=big5><title>\xD6\xEC\xE9\x46\xBB\xF9</title>",
         "text/html; charset=gb2312", "<meta charset=big5><title>朱镕基</title>"},
        {"/meta", "<meta charset=\"gb2312\"><title>\xD6\xEC\xE9\x46\xBB\xF9</title>", "text/html",
         "<meta charset=\"gb2312\"><title>朱镕基</title>"},
        {"/http-equiv",
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=big5\">"
         "<title>\xA4\xA4\xA4\xE5\xBC\xD0\xC3\x44</title>",
         "text/html",
         "<meta http-equiv=\"Content-Type\" content=\"text/html; "
         "charset=big5\"><title>中文標題</title>"},
        {"/undeclared-gbk",
         "<title>\xB0\xD9\xB6\xC8\xD2\xBB\xCF\xC2\xA3\xAC\xC4\xE3\xBE\xCD\xD6\xAA\xB5\xC0</title>",
         "text/html", "<title>百度一下，你就知道</title>"},
        {"/sjis", "<title>\x93\xFA\x96\x7B\x8C\xEA</title>", "text/html; charset=shift_jis",
         "<title>日本語</title>"},
        {"/euc-kr", "<title>\xC7\xD1\xB1\xB9\xBE\xEE</title>", "text/html; charset=euc-kr",
         "<title>한국어</title>"},
        {"/latin1", "<title>\x80\x93x\x94</title>", "text/html; charset=latin1",
         "<title>€“x”</title>"},
        {"/no-content-type", "<title>\xE4\xB8\xAD</title>", "", "<title>中</title>"},
    };
    LocalHttpServer server([&](const HttpRequest& request, Connection& connection) {
        for (const auto& page : pages) {
            if (request.target == page.path) {
                connection.respond(200, page.body, page.content_type);
                return;
            }
        }
        connection.respond(404, "");
    });
    CurlTransfer transfer(quick_options());
    for (const auto& page : pages) {
        EXPECT_EQ(transfer.open_url(server.url(page.path)), page.text) << page.path;
    }
}

// Where the server's charset and the page disagree, the bytes decide; where nothing is
// declared early, a declaration later in the page counts, unless it is only text.
TEST(CurlTransfer, DecodesRightWhereTheDeclarationsContradictOrComeLate) {
    const std::string gbk = "\xB0\xD9\xB6\xC8\xD2\xBB\xCF\xC2";   // 百度一下
    const std::string big5 = "\xA4\xA4\xA4\xE5\xBC\xD0\xC3\x44";  // 中文標題
    const auto comment = [](std::size_t size) { return "<!--" + std::string(size, 'x') + "-->"; };
    const std::string script = "<script>var s = '" + std::string(2000, 'x');
    const struct {
        const char* path;
        std::string body;
        const char* content_type;
        std::string text;
    } pages[] = {
        // A legacy charset, a page in UTF-8.
        {"/gbk-utf8", "<title>服务器默认</title>", "text/html; charset=gbk",
         "<title>服务器默认</title>"},
        {"/latin1-utf8", "<p>头部写错</p>", "text/html; charset=ISO-8859-1", "<p>头部写错</p>"},
        // ASCII is well-formed UTF-8 too, and it is how ISO-2022-JP writes Japanese.
        {"/iso-2022-jp", "<b>\x1B$B$3$s$K$A$O\x1B(B", "text/html; charset=iso-2022-jp",
         "<b>こんにちは"},
        // UTF-8 in the header, a page that is not: its own declaration, else a guess; but a
        // stray bad byte in UTF-8 text is no contradiction.
        {"/utf8-meta-gbk", "<meta charset=gbk><b>" + gbk, "text/html; charset=utf-8",
         "<meta charset=gbk><b>百度一下"},
        {"/utf8-big5-late", comment(2000) + "<meta charset=big5>" + big5,
         "text/html; charset=UTF-8", comment(2000) + "<meta charset=big5>中文標題"},
        {"/utf8-undeclared-gbk", "<title>" + gbk + "</title>", "text/html; charset=utf-8",
         "<title>百度一下</title>"},
        {"/utf8-stray-byte", "<p>服务器默认的编码\xFF</p>", "text/html; charset=utf-8",
         "<p>服务器默认的编码\xEF\xBF\xBD</p>"},
        // A Western charset, a CJK page that says so and reads cleanly in it.
        {"/latin1-meta-gbk", "<meta charset=gbk><b>" + gbk, "text/html; charset=iso-8859-1",
         "<meta charset=gbk><b>百度一下"},
        {"/ascii-meta-big5", "<meta charset=big5><b>" + big5, "text/html; charset=us-ascii",
         "<meta charset=big5><b>中文標題"},
        // Honest pages never change.
        {"/gbk-meta-utf8", "<meta charset=utf-8><b>" + gbk, "text/html; charset=gbk",
         "<meta charset=utf-8><b>百度一下"},
        {"/honest-latin1", "<meta charset=gbk><p>caf\xE9 cr\xE8me</p>",
         "text/html; charset=iso-8859-1", "<meta charset=gbk><p>café crème</p>"},
        {"/utf8-stray-meta", "<meta charset=\"gbk\"><b>服务器", "text/html; charset=utf-8",
         "<meta charset=\"gbk\"><b>服务器"},
        // Declared late: after long comments, a script block, in the body.
        {"/late-2k", comment(2000) + "<meta charset=big5>" + big5, "text/html",
         comment(2000) + "<meta charset=big5>中文標題"},
        {"/late-4k", comment(4000) + "<meta charset=big5>" + big5, "text/html",
         comment(4000) + "<meta charset=big5>中文標題"},
        {"/late-8k", comment(8000) + "<meta charset=big5>" + big5, "text/html",
         comment(8000) + "<meta charset=big5>中文標題"},
        {"/late-after-script", script + "';</script><meta charset=big5>" + big5, "text/html",
         script + "';</script><meta charset=big5>中文標題"},
        {"/late-in-body",
         "<title>t</title><body>" + std::string(2000, 'x') + "<meta charset=big5>" + big5,
         "text/html",
         "<title>t</title><body>" + std::string(2000, 'x') + "<meta charset=big5>中文標題"},
        // Only text: in a comment, in a script.
        {"/in-comment", "<!--" + std::string(2000, 'x') + "<meta charset=big5>--><b>" + gbk,
         "text/html", "<!--" + std::string(2000, 'x') + "<meta charset=big5>--><b>百度一下"},
        {"/in-script", script + "<meta charset=big5>';</script><b>" + gbk, "text/html",
         script + "<meta charset=big5>';</script><b>百度一下"},
    };
    LocalHttpServer server([&](const HttpRequest& request, Connection& connection) {
        for (const auto& page : pages) {
            if (request.target == page.path) {
                connection.respond(200, page.body, page.content_type);
                return;
            }
        }
    });
    CurlTransfer transfer(quick_options());
    for (const auto& page : pages) {
        EXPECT_EQ(transfer.open_url(server.url(page.path)), page.text) << page.path;
    }
}

TEST(CurlTransfer, SendsBrowserLikeHeadersAndAcceptsCompressedAndChunkedBodies) {
    const std::string page = "<title>压缩</title>" + std::string(10000, 'x');
    HttpRequest seen;
    LocalHttpServer server([&](const HttpRequest& request, Connection& connection) {
        seen = request;
        if (request.target == "/gzip") {
            connection.respond(200, gzip(page), "text/html; charset=utf-8",
                               "Content-Encoding: gzip\r\n");
        } else {
            connection.send(
                "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
                "Transfer-Encoding: chunked\r\n\r\n");
            for (std::size_t at = 0; at < page.size(); at += 3000) {
                const std::string piece = page.substr(at, 3000);
                char size[16];
                std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
                connection.send(size + piece + "\r\n");
            }
            connection.send("0\r\n\r\n");
        }
    });
    CurlTransfer transfer(quick_options());
    EXPECT_EQ(transfer.open_url(server.url("/gzip")), page);
    EXPECT_NE(seen.headers["accept-encoding"].find("gzip"), std::string::npos);
    EXPECT_EQ(seen.headers["accept"], "text/html,*/*");
    EXPECT_EQ(seen.headers["accept-language"], "zh-CN,zh;q=0.9,en;q=0.8");
    EXPECT_NE(seen.headers["user-agent"].find("Marlowin/1.00"), std::string::npos);
    EXPECT_EQ(transfer.open_url(server.url("/chunked")), page);
}

TEST(CurlTransfer, FollowsRedirectsKeepingCookiesButNotToOtherSchemes) {
    LocalHttpServer server([&](const HttpRequest& request, Connection& connection) {
        if (request.target == "/start") {
            connection.respond(302, "", "", "Location: /middle\r\nSet-Cookie: visit=1; Path=/\r\n");
        } else if (request.target == "/middle") {
            // an absolute address this time, and a 301
            connection.respond(301, "", "",
                               "Location: http://" + request.header("host") + "/end\r\n");
        } else if (request.target == "/end") {
            connection.respond(200, "cookie=" + request.header("cookie"), "text/plain");
        } else if (request.target == "/to-file") {
            connection.respond(302, "", "", "Location: file:///etc/passwd\r\n");
        } else if (request.target == "/to-ftp") {
            connection.respond(302, "", "", "Location: ftp://127.0.0.1/\r\n");
        } else if (request.target.starts_with("/loop")) {
            connection.respond(302, "", "", "Location: " + request.target + "x\r\n");
        }
    });
    CurlTransfer transfer(quick_options());
    EXPECT_EQ(transfer.open_url(server.url("/start")), "cookie=visit=1");
    EXPECT_EQ(error_number_of(transfer, server.url("/to-file")), CURLE_UNSUPPORTED_PROTOCOL);
    EXPECT_EQ(error_number_of(transfer, server.url("/to-ftp")), CURLE_UNSUPPORTED_PROTOCOL);

    const int before = server.requests();
    EXPECT_EQ(error_number_of(transfer, server.url("/loop")), CURLE_TOO_MANY_REDIRECTS);
    EXPECT_EQ(server.requests() - before, 21) << "the first request and 20 redirects";

    // Cookies last for one transfer only.
    EXPECT_EQ(transfer.open_url(server.url("/end")), "cookie=");
}

TEST(CurlTransfer, ReportsHttpErrorsWithTheirStatusAndAnEmptyBodyAsEmptyText) {
    LocalHttpServer server([&](const HttpRequest& request, Connection& connection) {
        if (request.target == "/empty") {
            connection.respond(200, "");
        } else if (request.target == "/500") {
            connection.respond(500, "<title>oops</title>");
        } else if (request.target == "/418") {
            connection.respond(418, "teapot");
        } else {
            connection.respond(404, "<title>not here</title>");
        }
    });
    CurlTransfer transfer(quick_options());
    EXPECT_EQ(transfer.open_url(server.url("/empty")), "");
    try {
        static_cast<void>(transfer.open_url(server.url("/missing")));
        FAIL() << "a 404 is not a document";
    } catch (const TransferError& error) {
        EXPECT_EQ(error.number(), 404);
        EXPECT_EQ(error.description(), "服务器返回 404（未找到）");
    }
    EXPECT_EQ(error_number_of(transfer, server.url("/500")), 500);
    EXPECT_EQ(error_number_of(transfer, server.url("/418")), 418);
}

TEST(CurlTransfer, ReportsTransportFailuresWithLibcurlNumbers) {
    CurlTransfer transfer(quick_options());
    EXPECT_EQ(error_number_of(transfer,
                              "http://127.0.0.1:" + std::to_string(testing::refused_port()) + "/"),
              CURLE_COULDNT_CONNECT);
    EXPECT_EQ(error_number_of(transfer, "ftp://127.0.0.1/"), CURLE_UNSUPPORTED_PROTOCOL);
    EXPECT_EQ(error_number_of(transfer, ""), CURLE_URL_MALFORMAT);

    // A server that accepts and never answers, and one that stops in the middle of the body.
    testing::SilentServer silent;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(error_number_of(transfer, silent.url()), CURLE_OPERATION_TIMEDOUT);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);

    LocalHttpServer stalling([&](const HttpRequest&, Connection& connection) {
        connection.send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nfirst part");
        connection.wait(30s);
    });
    EXPECT_EQ(error_number_of(transfer, stalling.url()), CURLE_OPERATION_TIMEDOUT);
}

TEST(CurlTransfer, RefusesADocumentOverTheCapEvenWhenCompressed) {
    const std::string big(300000, 'a');
    LocalHttpServer server([&](const HttpRequest& request, Connection& connection) {
        if (request.target == "/gzip") {
            connection.respond(200, gzip(big), "text/html", "Content-Encoding: gzip\r\n");
        } else if (request.target == "/exact") {
            connection.respond(200, big.substr(0, 100000), "text/html");
        } else {
            connection.respond(200, big, "text/html");
        }
    });
    TransferOptions options = quick_options();
    options.max_document_bytes = 100000;
    CurlTransfer transfer(options);
    EXPECT_EQ(error_number_of(transfer, server.url("/plain")), CURLE_FILESIZE_EXCEEDED);
    EXPECT_EQ(error_number_of(transfer, server.url("/gzip")), CURLE_FILESIZE_EXCEEDED);
    EXPECT_EQ(transfer.open_url(server.url("/exact")).size(), 100000u);
}

TEST(CurlTransfer, CancelStopsATransferAtOnceAndReportsProgress) {
    LocalHttpServer server([&](const HttpRequest&, Connection& connection) {
        connection.send("HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n");
        connection.send(std::string(5000, 'x'));
        connection.wait(30s);
    });
    TransferOptions options;  // the program's 60-second time-outs: only cancel can end this
    CurlTransfer transfer(options);
    std::promise<void> first_bytes;
    std::atomic<std::uint64_t> received{0};
    transfer.set_progress_callback([&](std::uint64_t bytes) {
        if (received.exchange(bytes) == 0) {
            first_bytes.set_value();
        }
    });
    auto fetching = std::async(std::launch::async, [&] { return transfer.open_url(server.url()); });
    ASSERT_EQ(first_bytes.get_future().wait_for(10s), std::future_status::ready);
    const auto start = std::chrono::steady_clock::now();
    transfer.cancel();
    ASSERT_EQ(fetching.wait_for(5s), std::future_status::ready);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_THROW(fetching.get(), TransferCancelled);
    EXPECT_EQ(received.load(), 5000u);

    // Cancelled until reset; then fetching works again.
    EXPECT_THROW(static_cast<void>(transfer.open_url(server.url())), TransferCancelled);
    transfer.reset_cancel();
    // A page undeclared and not UTF-8, so it takes a while to decode.
    const std::string page(std::size_t{8} << 20, '\xB0');
    LocalHttpServer plain([&](const HttpRequest&, Connection& c) { c.respond(200, page, ""); });
    EXPECT_FALSE(transfer.open_url(plain.url()).empty());

    // A cancel once every byte has arrived still stops the fetch, while its page decodes.
    transfer.set_progress_callback([&](std::uint64_t bytes) {
        if (bytes == page.size()) {
            transfer.cancel();
        }
    });
    transfer.reset_cancel();
    EXPECT_THROW(static_cast<void>(transfer.open_url(plain.url())), TransferCancelled);
}

// The idle time-out ends a silence, not a slow page: this one takes longer than it in all.
TEST(CurlTransfer, ABodyThatKeepsArrivingSlowlyIsNotCutOff) {
    LocalHttpServer trickle([&](const HttpRequest&, Connection& connection) {
        connection.send("HTTP/1.1 200 OK\r\nContent-Length: 15\r\n\r\n");
        for (int i = 0; i < 15 && connection.wait(100ms); ++i) {
            connection.send("x");
        }
    });
    TransferOptions options = quick_options();
    options.idle_timeout = 500ms;
    CurlTransfer transfer(options);
    EXPECT_EQ(transfer.open_url(trickle.url()), std::string(15, 'x'));
}

TEST(CurlTransfer, HonoursAProxyFromTheEnvironment) {
    HttpRequest seen;
    LocalHttpServer proxy([&](const HttpRequest& request, Connection& connection) {
        seen = request;
        connection.respond(200, "via proxy");
    });
    setenv("http_proxy", proxy.url().c_str(), 1);
    CurlTransfer transfer(quick_options());
    const std::string text = transfer.open_url("http://marlowin.invalid/page");
    unsetenv("http_proxy");
    EXPECT_EQ(text, "via proxy");
    EXPECT_EQ(seen.target, "http://marlowin.invalid/page");
}

}  // namespace
}  // namespace marlowin
