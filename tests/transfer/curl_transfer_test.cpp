#include "transfer/curl_transfer.h"

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <random>
#include <thread>

#include "tests/support/local_http_server.h"
#include "tests/support/process_usage.h"
#include "tests/support/test_setup.h"
#include "tests/transfer/transfer_test_helpers.h"
#include "transfer/utf8_validator.h"

namespace marlowin {
namespace {

using namespace std::chrono_literals;
using testing::Connection;
using testing::expect_transfer_error;
using testing::gzip;
using testing::HttpRequest;
using testing::LocalHttpServer;
using testing::quick_options;

// Pages served as a real server sends them, one route per way of declaring, mis-declaring or
// not declaring the encoding. Each body is ASCII markup followed by encoded text, and reads as
// the same markup followed by that text.
TEST(CurlTransfer, DecodesEveryWayAPageDeclaresItsEncoding) {
    const std::string gbk = "\xB0\xD9\xB6\xC8\xD2\xBB\xCF\xC2";   // 百度一下
    const std::string big5 = "\xA4\xA4\xA4\xE5\xBC\xD0\xC3\x44";  // 中文標題
    const auto x = [](std::size_t size) { return std::string(size, 'x'); };
    const std::string script = "<script>var s = '" + x(2000);
    const auto forty = [](const std::string& text) {  // enough for the detector to be sure
        std::string all;
        for (int i = 0; i < 40; ++i) {
            all += text;
        }
        return all;
    };
    const struct {
        const char* charset;  // in the Content-Type; nullptr: no Content-Type at all
        std::string markup;
        std::string bytes;
        std::string text;
    } pages[] = {
        // A byte order mark wins.
        {"big5", "", "\xEF\xBB\xBF\xE4\xB8\xAD", "中"},
        {"", "", std::string("\xFF\xFE<\0t\0>\0\x19\x6A", 10), "<t>標"},
        // Then the header, then the page's <meta> in its first kilobyte.
        {"gb2312", "<meta charset=big5>", "\xD6\xEC\xE9\x46\xBB\xF9",
         "朱镕基"},  // 镕 is GBK beyond GB2312
        {"shift_jis", "", "\x93\xFA\x96\x7B\x8C\xEA", "日本語"},
        {"euc-kr", "", "\xC7\xD1\xB1\xB9\xBE\xEE", "한국어"},
        {"latin1", "", "\x80\x93x\x94", "€“x”"},
        {"bogus", "<meta charset=\"gb2312\">", gbk, "百度一下"},
        {"", R"(<meta http-equiv="Content-Type" content="text/html; charset=big5">)", big5,
         "中文標題"},
        // Undeclared: UTF-8, the detector, GB18030, windows-1252.
        {nullptr, "<b>", "\xE4\xB8\xAD", "中"},
        {"", "<p>",
         forty("\xA4\xA4\xA4\xE5\xBC\xD0\xC3\x44\xA1\x41\xC1\x63\xC5\xE9\xA6\x72\xAA\xBA\xBA\xF4"
               "\xAD\xB6\xA4\xBA\xAE\x65\xA1\x43"),
         forty("中文標題，繁體字的網頁內容。")},
        {"", "<title>", gbk, "百度一下"},
        {"", "<p>", "caf\xE9 cr\xE8me br\xFBl\xE9\xFF", "café crème brûléÿ"},
        // A legacy charset in the header, a page in UTF-8; ASCII is UTF-8 too, and ISO-2022-JP.
        {"gbk", "<p>", "服务器默认", "服务器默认"},
        {"ISO-8859-1", "<p>", "头部写错", "头部写错"},
        {"iso-2022-jp", "<b>", "\x1B$B$3$s$K$A$O\x1B(B", "こんにちは"},
        // UTF-8 in the header, a page that is not: its own declaration, else a guess, which
        // says UTF-8 for UTF-8 text with a stray byte.
        {"utf-8", "<meta charset=gbk>", gbk, "百度一下"},
        {"UTF-8", "<!--" + x(2000) + "--><meta charset=big5>", big5, "中文標題"},
        {"utf-8", "<title>", gbk, "百度一下"},
        {"utf-8", "<p>", "服务器默认的编码\xFF", "服务器默认的编码\xEF\xBF\xBD"},
        // A Western charset, a CJK page that says so and reads cleanly in it.
        {"iso-8859-1", "<meta charset=gbk>", gbk, "百度一下"},
        {"us-ascii", "<meta charset=big5>", big5, "中文標題"},
        // Honest pages never change.
        {"gbk", "<meta charset=utf-8>", gbk, "百度一下"},
        {"iso-8859-1", "<meta charset=gbk>", "caf\xE9 cr\xE8me", "café crème"},
        {"utf-8", "<meta charset=\"gbk\">", "服务器", "服务器"},
        // Declared late: after long comments, a script block, in the body; not in a comment or
        // in a script's text.
        {"", "<!--" + x(2000) + "--><meta charset=big5>", big5, "中文標題"},
        {"", "<!--" + x(4000) + "--><meta charset=big5>", big5, "中文標題"},
        {"", "<!--" + x(8000) + "--><meta charset=big5>", big5, "中文標題"},
        {"", script + "';</script><meta charset=big5>", big5, "中文標題"},
        {"", "<title>t</title><body>" + x(2000) + "<meta charset=big5>", big5, "中文標題"},
        {"", "<!--" + x(2000) + "<meta charset=big5>--><b>", gbk, "百度一下"},
        {"", script + "<meta charset=big5>';</script><b>", gbk, "百度一下"},
    };
    LocalHttpServer server([&](const HttpRequest& request, Connection& connection) {
        const auto& page = pages[std::stoul(request.target.substr(1))];
        const std::string type = page.charset == nullptr ? ""
                                 : *page.charset == '\0'
                                     ? "text/html"
                                     : "text/html; charset=" + std::string(page.charset);
        connection.respond(200, page.markup + page.bytes, type);
    });
    CurlTransfer transfer(quick_options());
    for (std::size_t i = 0; i < std::size(pages); ++i) {
        EXPECT_EQ(transfer.open_url(server.url("/" + std::to_string(i))),
                  pages[i].markup + pages[i].text)
            << "page " << i << ", charset " << (pages[i].charset ? pages[i].charset : "none");
    }
}

TEST(CurlTransfer, SendsBrowserLikeHeadersAndTakesCompressedAndEmptyBodies) {
    const std::string page = "<title>压缩</title>" + std::string(10000, 'x');
    HttpRequest seen;
    LocalHttpServer server([&](const HttpRequest& request, Connection& connection) {
        seen = request;
        if (request.target == "/gzip") {
            connection.respond(200, gzip(page), "text/html", "Content-Encoding: gzip\r\n");
        } else {
            connection.respond(200, "");
        }
    });
    CurlTransfer transfer(quick_options());
    EXPECT_EQ(transfer.open_url(server.url("/gzip")), page);
    EXPECT_NE(seen.header("accept-encoding").find("gzip"), std::string::npos);
    EXPECT_EQ(seen.header("accept"), "text/html,*/*");
    EXPECT_EQ(seen.header("accept-language"), "zh-CN,zh;q=0.9,en;q=0.8");
    EXPECT_NE(seen.header("user-agent").find("Marlowin/1.00"), std::string::npos);
    EXPECT_EQ(transfer.open_url(server.url("/empty")), "") << "nothing arrived: no error";
}

TEST(CurlTransfer, FollowsRedirectsKeepingCookiesButNotToOtherSchemes) {
    LocalHttpServer server([&](const HttpRequest& request, Connection& connection) {
        if (request.target == "/start") {
            connection.respond(302, "", "", "Location: /middle\r\nSet-Cookie: visit=1; Path=/\r\n");
        } else if (request.target == "/middle") {  // an absolute address this time, and a 301
            connection.respond(301, "", "",
                               "Location: http://" + request.header("host") + "/end\r\n");
        } else if (request.target == "/end") {
            connection.respond(200, "cookie=" + request.header("cookie"), "text/plain");
        } else if (request.target == "/to-file") {
            connection.respond(302, "", "", "Location: file:///etc/passwd\r\n");
        } else if (request.target == "/to-ftp") {
            connection.respond(302, "", "", "Location: ftp://127.0.0.1/\r\n");
        } else {
            connection.respond(302, "", "", "Location: " + request.target + "x\r\n");
        }
    });
    CurlTransfer transfer(quick_options());
    EXPECT_EQ(transfer.open_url(server.url("/start")), "cookie=visit=1");
    for (const char* path : {"/to-file", "/to-ftp"}) {
        expect_transfer_error([&] { return transfer.open_url(server.url(path)); },
                              CURLE_UNSUPPORTED_PROTOCOL,
                              "不支持的协议：只能检索 http:// 或 https:// 网址", path);
    }
    const int before = server.requests();
    expect_transfer_error([&] { return transfer.open_url(server.url("/loop")); },
                          CURLE_TOO_MANY_REDIRECTS);
    EXPECT_EQ(server.requests() - before, 21) << "the first request and 20 redirects";
    EXPECT_EQ(transfer.open_url(server.url("/end")), "cookie=") << "cookies last one transfer";
}

// The cap counts the document after decompression, up to the byte.
TEST(CurlTransfer, TakesADocumentUpToTheCapAfterDecompression) {
    LocalHttpServer server([&](const HttpRequest& request, Connection& connection) {
        const std::string page(request.target == "/exact" ? 100000 : 100001, 'a');
        connection.respond(200, gzip(page), "text/html", "Content-Encoding: gzip\r\n");
    });
    TransferOptions options = quick_options();
    options.max_document_bytes = 100000;
    CurlTransfer transfer(options);
    EXPECT_EQ(transfer.open_url(server.url("/exact")).size(), 100000u);
    expect_transfer_error([&] { return transfer.open_url(server.url("/over")); },
                          CURLE_FILESIZE_EXCEEDED);
}

TEST(CurlTransfer, CancelStopsATransferAtOnceEvenAfterItsLastByte) {
    LocalHttpServer stalled([&](const HttpRequest&, Connection& connection) {
        connection.send("HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n" +
                        std::string(5000, 'x'));
        connection.wait(30s);
    });
    CurlTransfer transfer;  // the program's 60-second time-outs: only cancel can end this
    std::promise<void> first_bytes;
    transfer.set_progress_callback([&](std::uint64_t bytes) {
        if (bytes == 5000) {
            first_bytes.set_value();
        }
    });
    auto fetching =
        std::async(std::launch::async, [&] { return transfer.open_url(stalled.url()); });
    ASSERT_EQ(first_bytes.get_future().wait_for(10s), std::future_status::ready);
    transfer.cancel();
    ASSERT_EQ(fetching.wait_for(5s), std::future_status::ready);
    EXPECT_THROW(fetching.get(), TransferCancelled);
    EXPECT_THROW(static_cast<void>(transfer.open_url(stalled.url())), TransferCancelled)
        << "cancelled until reset";

    // Every byte has arrived when the cancel comes.
    const std::string page(std::size_t{8} << 20, 'a');
    LocalHttpServer plain([&](const HttpRequest&, Connection& c) { c.respond(200, page, ""); });
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

// Servers that misbehave on purpose: every failure ends as a TransferError whose number and
// description name the cause, never as a crash, a hang or a document silently cut short.
TEST(CurlTransferFaults, MisbehavingServersEndInErrorsThatNameTheCause) {
    LocalHttpServer server([](const HttpRequest& request, Connection& connection) {
        const std::string& path = request.target;
        if (path == "/reset") {
            connection.send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" +
                            std::string(5000, 'x'));
            connection.wait(100ms);
            connection.reset();
        } else if (path == "/too-large") {
            connection.send("HTTP/1.1 200 OK\r\nContent-Length: 100000000\r\n\r\nstart");
        } else if (path == "/short") {
            connection.send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nonly this much");
        } else if (path == "/silent") {
            connection.wait(30s);
        } else if (path == "/stalled") {
            connection.send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nfirst part");
            connection.wait(30s);
        } else if (path == "/endless-headers") {
            connection.send("HTTP/1.1 200 OK\r\n");
            while (connection.send("X-Filler: " + std::string(100, 'h') + "\r\n")) {
            }
        } else if (path == "/long-header-line") {
            connection.send("HTTP/1.1 200 OK\r\nX-Big: " + std::string(150000, 'h') + "\r\n\r\n");
        } else if (path == "/http09") {
            connection.send("<html><title>no status line</title></html>");
        } else if (path == "/garbage-status") {
            connection.send("SSH-2.0-OpenSSH_9.2\r\n\r\n");
        } else if (path == "/404" || path == "/418") {
            connection.respond(std::stoi(path.substr(1)), "<title>not here</title>");
        }  // "/nothing" closes without a word
    });
    const std::string cut_off = "连接在传输中断开";
    const std::string timed_out = "服务器响应超时（长时间没有收到数据）";
    const std::string headers_too_long = "服务器发送的响应头过长，已停止接收";
    const std::string not_http = "服务器的回应不是有效的 HTTP";
    const struct {
        const char* path;
        int number;
        std::string description;
    } rows[] = {
        {"/reset", CURLE_RECV_ERROR, cut_off},
        {"/short", CURLE_PARTIAL_FILE, cut_off},
        {"/too-large", CURLE_FILESIZE_EXCEEDED, "文档太大（超过 64 MiB），已拒绝接收"},
        {"/nothing", CURLE_GOT_NOTHING, cut_off},
        {"/silent", CURLE_OPERATION_TIMEDOUT, timed_out},
        {"/stalled", CURLE_OPERATION_TIMEDOUT, timed_out},
        {"/endless-headers", CURLE_RECV_ERROR, headers_too_long},
        {"/long-header-line", CURLE_OUT_OF_MEMORY, headers_too_long},
        {"/http09", CURLE_UNSUPPORTED_PROTOCOL, not_http},
        {"/garbage-status", CURLE_UNSUPPORTED_PROTOCOL, not_http},
        {"/404", 404, "服务器返回 404（未找到）"},
        {"/418", 418, "服务器返回 418（请求错误）"},
    };
    CurlTransfer transfer(quick_options());
    for (const auto& row : rows) {
        expect_transfer_error([&] { return transfer.open_url(server.url(row.path)); }, row.number,
                              row.description, row.path);
    }
    const std::string refused = "http://127.0.0.1:" + std::to_string(testing::refused_port());
    expect_transfer_error([&] { return transfer.open_url(refused); }, CURLE_COULDNT_CONNECT,
                          "无法连接到服务器（连接被拒绝）");
}

TEST(CurlTransferFaults, BinaryGarbageArrivesAsWellFormedTextWithItsNulBytes) {
    std::string garbage(200000, '\0');
    std::mt19937 random(1);
    for (char& c : garbage) {
        c = static_cast<char>(random() % 4 == 0 ? 0 : random());
    }
    LocalHttpServer server([&](const HttpRequest&, Connection& connection) {
        connection.respond(200, garbage, "application/octet-stream");
    });
    CurlTransfer transfer(quick_options());
    const std::string text = transfer.open_url(server.url());
    EXPECT_TRUE(is_valid_utf8(text));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\0'),
              std::count(garbage.begin(), garbage.end(), '\0'));
}

// A gzip bomb: a quarter of a megabyte that inflates to half a gigabyte. The cap refuses it,
// and the process never holds much more than the cap.
TEST(CurlTransferFaults, AGzipBombIsRefusedWithinTheCap) {
    const std::string bomb = testing::gzip(std::string(std::size_t{1} << 20, '\0'), 512);
    ASSERT_LT(bomb.size(), std::size_t{1} << 20);
    LocalHttpServer server([&](const HttpRequest&, Connection& connection) {
        connection.respond(200, bomb, "text/html", "Content-Encoding: gzip\r\n");
    });
    CurlTransfer transfer(quick_options());  // the program's 64 MiB cap
    [[maybe_unused]] const auto before = testing::ProcessUsage::now();
    testing::ProcessUsage::reset_peak();
    expect_transfer_error([&] { return transfer.open_url(server.url()); }, CURLE_FILESIZE_EXCEEDED,
                          "文档太大（超过 64 MiB），已拒绝接收");
#if !defined(__SANITIZE_ADDRESS__)  // its quarantine holds freed memory back on purpose
    const std::size_t peak_kib = testing::ProcessUsage::now().peak_kib - before.resident_kib;
    EXPECT_LT(peak_kib, (std::size_t{64} + 16) << 10) << "peak " << peak_kib << " KiB";
#endif
}

// An HTTPS server on 127.0.0.1 with a certificate made for this run: trusted through the CA
// file, the fetch works; unknown to the system's trust store, the certificate is refused.
TEST(CurlTransferTls, CertificatesAreAlwaysVerified) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("marlowin-tls-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string cert = (dir / "cert.pem").string();
    const std::string key = (dir / "key.pem").string();
    const std::string make =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1"
        " -addext subjectAltName=IP:127.0.0.1 -keyout '" +
        key + "' -out '" + cert + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(make.c_str()), 0) << "openssl could not make a certificate";
    httplib::SSLServer server(cert.c_str(), key.c_str());
    ASSERT_TRUE(server.is_valid());
    server.Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("<title>安全</title>", "text/html; charset=utf-8");
    });
    const std::string url =
        "https://127.0.0.1:" + std::to_string(server.bind_to_any_port("127.0.0.1"));
    std::thread serving([&] { server.listen_after_bind(); });

    TransferOptions trusting;
    trusting.ca_file = cert;
    EXPECT_EQ(CurlTransfer(trusting).open_url(url), "<title>安全</title>");
    testing::expect_transfer_error([&] { return CurlTransfer().open_url(url); },
                                   CURLE_PEER_FAILED_VERIFICATION, "服务器的安全证书无法验证");
    server.stop();
    serving.join();
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace marlowin
