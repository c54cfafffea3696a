// Fetch and decode of big pages from 127.0.0.1, against a bare libcurl transfer of the same
// bytes into memory, measured in the same run; and the scan for a late <meta> declaration
// through a whole undeclared page, against memchr over the same bytes.
#include <benchmark/benchmark.h>
#include <functional>
#include <map>
#include <string>

#include "bench/bare_libcurl.h"
#include "bench/big_pages.h"
#include "bench/ratio_report.h"
#include "decoding/encoding_sniffing.h"
#include "tests/shared/local_http_server.h"
#include "transfer/curl_transfer.h"

namespace {

using marlowin::testing::Connection;
using marlowin::testing::HttpRequest;
using marlowin::testing::LocalHttpServer;

constexpr std::size_t kPageSize = marlowin::bench::kBigPageSize;

struct Served {
    std::map<std::string, std::string, std::less<>> pages{
        {"/utf8", marlowin::bench::big_utf8_page()},
        {"/gbk", marlowin::bench::big_gbk_page()},
        {"/big5", marlowin::bench::big_big5_page()},
        {"/shift_jis", marlowin::bench::big_shift_jis_page()},
        {"/euc_kr", marlowin::bench::big_euc_kr_page()},
    };
    LocalHttpServer server{[this](const HttpRequest& request, Connection& connection) {
        // A type that is not text/*, so nothing between here and the client recompresses it.
        connection.respond(200, pages.at(request.target), "application/octet-stream");
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

// Each page's fetch right after its baseline, so that both see the machine alike.
BENCHMARK_CAPTURE(bare_libcurl, Utf8, "/utf8")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(fetch_and_decode, Utf8, "/utf8")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(bare_libcurl, Gbk, "/gbk")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(fetch_and_decode, Gbk, "/gbk")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(bare_libcurl, Big5, "/big5")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(fetch_and_decode, Big5, "/big5")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(bare_libcurl, ShiftJis, "/shift_jis")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(fetch_and_decode, ShiftJis, "/shift_jis")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(bare_libcurl, EucKr, "/euc_kr")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(fetch_and_decode, EucKr, "/euc_kr")->Unit(benchmark::kMillisecond)->UseRealTime();

// A 50 MB GBK page whose only declaration is its very last tag.
const std::string& late_declared_page() {
    static const std::string page = [] {
        std::string bytes = served().pages.at("/gbk");
        const std::size_t meta = bytes.find("<meta charset=\"gbk\">");
        bytes.replace(meta, 20, 20, ' ');
        return bytes + "<meta charset=\"gbk\">";
    }();
    return page;
}

void BM_LateDeclarationScan(benchmark::State& state) {
    const std::string& page = late_declared_page();
    for (auto _ : state) {
        benchmark::DoNotOptimize(marlowin::late_meta_charset(page));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
// The least a scan that looks at tags does: memchr from each '<' to the next.
void BM_MemchrEveryTag(benchmark::State& state) {
    const std::string& page = late_declared_page();
    for (auto _ : state) {
        std::size_t tags = 0;
        for (std::size_t at = page.find('<'); at != std::string::npos;
             at = page.find('<', at + 1)) {
            ++tags;
        }
        benchmark::DoNotOptimize(tags);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_MemchrEveryTag)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LateDeclarationScan)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return marlowin::bench::run_with_ratios(
        argc, argv,
        {
            {"fetch + decode, 50 MB UTF-8 page vs bare libcurl", "fetch_and_decode/Utf8/real_time",
             "bare_libcurl/Utf8/real_time", 1.3},
            {"fetch + decode, 50 MB GBK page vs bare libcurl", "fetch_and_decode/Gbk/real_time",
             "bare_libcurl/Gbk/real_time", 1.5},
            {"fetch + decode, 50 MB Big5 page vs bare libcurl", "fetch_and_decode/Big5/real_time",
             "bare_libcurl/Big5/real_time", 1.5},
            {"fetch + decode, 50 MB Shift_JIS page vs bare libcurl",
             "fetch_and_decode/ShiftJis/real_time", "bare_libcurl/ShiftJis/real_time", 1.5},
            {"fetch + decode, 50 MB EUC-KR page vs bare libcurl",
             "fetch_and_decode/EucKr/real_time", "bare_libcurl/EucKr/real_time", 1.5},
            {"late <meta> scan, 50 MB page vs memchr to every '<'", "BM_LateDeclarationScan",
             "BM_MemchrEveryTag", 2.0},
        });
}
