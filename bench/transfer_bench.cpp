// Fetch and decode of big pages from 127.0.0.1, against a bare libcurl transfer of the same
// bytes into memory, measured in the same run.
#include <benchmark/benchmark.h>
#include <string>

#include "bench/bare_libcurl.h"
#include "bench/ratio_report.h"
#include "tests/support/local_http_server.h"
#include "transfer/curl_transfer.h"

namespace {

using marlowin::testing::Connection;
using marlowin::testing::HttpRequest;
using marlowin::testing::LocalHttpServer;

constexpr std::size_t kPageSize = std::size_t{50} << 20;

std::string utf8_page() {
    std::string page = "<html><head><meta charset=\"utf-8\"><title>测试页面</title></head><body>\n";
    const std::string line = "<p>这是一段用于测试的中文内容，包含 ASCII text 与标点。</p>\n";
    while (page.size() < kPageSize) {
        page += line;
    }
    return page;
}

std::string gbk_page() {
    std::string page = "<html><head><meta charset=\"gbk\"><title>\xB2\xE2\xCA\xD4</title></head>\n";
    std::string line = "<p>";
    // Cycle through the GB2312 hanzi block (0xB0A1-0xF7FE), the bulk of any GBK page.
    unsigned lead = 0xB0;
    unsigned trail = 0xA1;
    while (page.size() < kPageSize) {
        line.assign("<p>");
        for (int i = 0; i < 40; ++i) {
            line += static_cast<char>(lead);
            line += static_cast<char>(trail);
            if (++trail == 0xFF) {
                trail = 0xA1;
                lead = lead == 0xF7 ? 0xB0 : lead + 1;
            }
        }
        line += " ascii</p>\n";
        page += line;
    }
    return page;
}

struct Served {
    std::string utf8 = utf8_page();
    std::string gbk = gbk_page();
    LocalHttpServer server{[this](const HttpRequest& request, Connection& connection) {
        // A type that is not text/*, so nothing between here and the client recompresses it.
        connection.respond(200, request.target == "/gbk" ? gbk : utf8, "application/octet-stream");
    }};
};

Served& served() {
    static Served instance;
    return instance;
}

void bare_libcurl(benchmark::State& state, const char* path) {
    const std::string url = served().server.url(path);
    for (auto _ : state) {
        std::string body = marlowin::bench::bare_libcurl_fetch(url);
        benchmark::DoNotOptimize(body.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPageSize));
}

void fetch_and_decode(benchmark::State& state, const char* path) {
    const std::string url = served().server.url(path);
    marlowin::CurlTransfer transfer;
    for (auto _ : state) {
        std::string text = transfer.open_url(url);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPageSize));
}

void BM_BareLibcurlUtf8(benchmark::State& state) {
    bare_libcurl(state, "/utf8");
}
void BM_BareLibcurlGbk(benchmark::State& state) {
    bare_libcurl(state, "/gbk");
}
void BM_FetchDecodeUtf8(benchmark::State& state) {
    fetch_and_decode(state, "/utf8");
}
void BM_FetchDecodeGbk(benchmark::State& state) {
    fetch_and_decode(state, "/gbk");
}
BENCHMARK(BM_BareLibcurlUtf8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FetchDecodeUtf8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareLibcurlGbk)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FetchDecodeGbk)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    marlowin::CurlTransfer::global_init();
    return marlowin::bench::run_with_ratios(
        argc, argv,
        {
            {"fetch + decode, 50 MB UTF-8 page vs bare libcurl", "BM_FetchDecodeUtf8/real_time",
             "BM_BareLibcurlUtf8/real_time", 1.3},
            {"fetch + decode, 50 MB GBK page vs bare libcurl", "BM_FetchDecodeGbk/real_time",
             "BM_BareLibcurlGbk/real_time", 3.0},
        });
}
