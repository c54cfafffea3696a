// Hosts as the URL Standard's host parser reads them, seen where it matters: on the wire. A
// proxy on 127.0.0.1, named by http_proxy, records the absolute-form request of each fetch.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tests/shared/local_http_server.h"
#include "tests/shared/test_setup.h"
#include "tests/transfer/transfer_test_helpers.h"
#include "transfer/curl_transfer.h"

namespace marlowin {
namespace {

using namespace std::string_literals;
using testing::Connection;
using testing::HttpRequest;
using testing::LocalHttpServer;

// Typed, or where a redirect leads. The table keeps several rows to a line.
// clang-format off
TEST(Hosts, GoOnTheWireAsTheUrlStandardReadsThem) {
    const struct {
        std::string typed;
        std::optional<std::string> sent;  // nothing: malformed, and nothing is sent
    } rows[] = {
        // no hyphen or length checks, ASCII or not, and no STD3 rules
        {"ab--中文.com", "xn--ab---3f5fy05j.com"}, {"-中文.com", "xn----lq6a406e.com"},
        {"中文-.com", "xn----kq6a406e.com"}, {"-foo-.com", "-foo-.com"},
        {"x..中文", "x..xn--fiq228c"}, {"x..y", "x..y"}, {"a_b.中文", "a_b.xn--fiq228c"},
        {std::string(70, 'a') + ".中文", std::string(70, 'a') + ".xn--fiq228c"},
        // an ASCII domain is lowercased whatever its Punycode says; a non-ASCII one is checked
        // (xn--8i7caa decodes to ｗｗｗ, which is mapped, not valid; xn--ab- is no Punycode)
        {"EXAMPLE.Com", "example.com"}, {"XN--FIQ228C.com", "xn--fiq228c.com"},
        {"xn--8i7caa.com", "xn--8i7caa.com"}, {"xn--fiq228c.中文", "xn--fiq228c.xn--fiq228c"},
        {"xn--8i7caa.中文", std::nullopt}, {"xn--ab-.中文", std::nullopt},
        // non-transitional: ß and the joiners stay; joiners only where the context allows
        {"faß.de", "xn--fa-hia.de"}, {"क्\u200Cष.com", "xn--11b2ezcs70k.com"},
        {"a\u200Cb.中文", std::nullopt}, {"a\u200Db.中文", std::nullopt},
        // the bidi rule
        {"אב.com", "xn--4dbc.com"}, {"אa.中文", std::nullopt}, {"0א.com", std::nullopt},
        // mappings: case, full-width forms, ignored code points (nothing left is no host)
        {"Bücher.de", "xn--bcher-kva.de"}, {"☕.example", "xn--53h.example"},
        {"ｅｘａｍｐｌｅ．ｃｏｍ", "example.com"}, {"中文。com", "xn--fiq228c.com"},
        {"ex\u00ADample.com", "example.com"}, {"\u00AD", std::nullopt},
        {"\uFFFD.com", std::nullopt},
        // percent-decoded first
        {"%E4%B8%AD%E6%96%87.com", "xn--fiq228c.com"}, {"ex%41mple.com", "example.com"},
        {"%FF.com", std::nullopt}, {"a%2Fb.com", std::nullopt}, {"a%zz.com", std::nullopt},
        // forbidden code points, wherever they come from (℀ maps to "a/c")
        {"a^b.com", std::nullopt}, {"a|b.com", std::nullopt}, {"a\u2100b.com", std::nullopt},
        {"127.0.0.1\0.evil.example"s, std::nullopt}, {"127.0.0.1:80\0"s, std::nullopt},
        {"a\x7F.com", std::nullopt},
        // IPv4 in every form the parser takes, when the last label is a number
        {"192.0.2.1", "192.0.2.1"}, {"0xC0.0.2.1", "192.0.2.1"}, {"0300.0.0x2.01", "192.0.2.1"},
        {"3221225985", "192.0.2.1"}, {"192.0.513", "192.0.2.1"}, {"192.513", "192.0.2.1"},
        {"192.0.2.1.", "192.0.2.1"}, {"１９２．０．２．１", "192.0.2.1"},
        {"192.0.2.256", std::nullopt}, {"1.2.3.4.5", std::nullopt}, {"192.0.2.09", std::nullopt},
        {"4294967296", std::nullopt}, {"99999999999999999999999", std::nullopt},
        {"foo.09", std::nullopt}, {"foo.0x", std::nullopt}, {"foo.1a", "foo.1a"},
        // IPv6, without a zone
        {"[2001:db8::1]", "[2001:db8::1]"}, {"[2001:db8::1%25eth0]", std::nullopt},
        {"[::%%4\xEC" "er05]", std::nullopt},
    };
    // clang-format on
    std::mutex mutex;
    std::vector<std::string> seen;
    std::string redirect_to;
    LocalHttpServer proxy([&](const HttpRequest& request, Connection& connection) {
        const std::lock_guard lock(mutex);
        if (request.target == "http://start.example/") {
            connection.respond(302, "", "", "Location: http://" + redirect_to + "/p\r\n");
            return;
        }
        seen.push_back(request.target);
        connection.respond(200, "via proxy");
    });
    testing::set_environment("http_proxy", proxy.url().c_str());
    CurlTransfer transfer(testing::quick_options());
    // Each host typed, then as where a redirect leads (a header holds no NUL).
    for (const bool redirected : {false, true}) {
        for (const auto& row : rows) {
            if (redirected && row.typed.find('\0') != std::string::npos) {
                continue;
            }
            redirect_to = row.typed;
            const std::string address =
                redirected ? "http://start.example/" : "http://" + row.typed + "/p";
            const std::string what = (redirected ? "redirected to " : "") + row.typed;
            if (row.sent) {
                EXPECT_EQ(transfer.open_url(address), "via proxy") << what;
            } else {
                testing::expect_transfer_error([&] { return transfer.open_url(address); },
                                               CURLE_URL_MALFORMAT, "网址格式不正确", what);
            }
            const std::lock_guard lock(mutex);
            EXPECT_EQ(seen, row.sent ? std::vector{"http://" + *row.sent + "/p"}
                                     : std::vector<std::string>{})
                << ::testing::PrintToString(what);
            seen.clear();
        }
    }
    testing::set_environment("http_proxy", nullptr);
}

}  // namespace
}  // namespace marlowin
