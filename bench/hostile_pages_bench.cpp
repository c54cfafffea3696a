// Pages built to hold the program: a 64 MiB page of one <meta> with millions of attributes,
// and one of millions of unclosed <meta and <!--, each decoded against a plain 64 MiB page of
// the same path; and how long a cancel takes to be seen in the middle of each pass over a page
// and of a transfer (also while the system's PAC script is fetched or run), against the tenth of
// a second a person should wait at most.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <stop_token>
#include <string>
#include <thread>

#include "bench/big_pages.h"
#include "bench/ratio_report.h"
#include "decoding/charset_detector.h"
#include "decoding/decoding_error.h"
#include "decoding/encoding_sniffing.h"
#include "decoding/html_decoding.h"
#include "decoding/text_decoder.h"
#include "decoding/utf8_validator.h"
#include "tests/shared/local_http_server.h"
#include "tests/shared/test_requests.h"
#include "transfer/curl_transfer.h"
#include "workflow/transfer_error.h"

namespace {

using Clock = std::chrono::steady_clock;
using marlowin::DecodedPage;
using marlowin::Encoding;
using marlowin::EncodingId;

constexpr std::size_t kSize = std::size_t{64} << 20;

std::string repeated(std::string_view head, std::string_view unit, std::string_view tail) {
    std::string page(head);
    while (page.size() + tail.size() < kSize) {
        page += unit;
    }
    page.resize(kSize - tail.size(), ' ');
    return page + std::string(tail);
}

struct Pages {
    // Ordinary markup, undeclared, all ASCII: the same path through every scan.
    std::string plain =
        repeated("<html><head><title>plain</title></head><body>",
                 "<div class=\"item\"><p>some text &amp; more</p><a href=\"/x\">link</a></div>\n",
                 "</body></html>");
    std::string attributes = [] {
        std::string page = "<html><head><meta";
        for (int i = 0; page.size() < kSize - 64; ++i) {
            page += " a" + std::to_string(i);
        }
        page += "><title>quad</title></head></html>";
        return page;
    }();
    std::string unclosed = repeated("", "<meta <!-- ", "");
    std::string gbk = marlowin::bench::big_gbk_page();
};

const Pages& pages() {
    static const Pages all;
    return all;
}

void decode(benchmark::State& state, const std::string& page) {
    for (auto _ : state) {
        DecodedPage decoded = marlowin::decode_html_bytes(page, "text/html");
        benchmark::DoNotOptimize(decoded.text.data());
    }
}
void BM_DecodePlainPage(benchmark::State& state) {
    decode(state, pages().plain);
}
void BM_DecodeMillionsOfAttributes(benchmark::State& state) {
    decode(state, pages().attributes);
}
void BM_DecodeMillionsOfUnclosedTags(benchmark::State& state) {
    decode(state, pages().unclosed);
}
BENCHMARK(BM_DecodePlainPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeMillionsOfAttributes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeMillionsOfUnclosedTags)->Unit(benchmark::kMillisecond);

// Starts @p run on a worker (after @p reset), makes @p cancel @p delay later, and reports the
// time from the cancel to the worker's end as manual time; counter "over_budget" is the worst
// of the runs over 100 ms.
void time_cancels(benchmark::State& state, std::chrono::nanoseconds delay,
                  const std::function<void()>& reset, const std::function<void()>& run,
                  const std::function<void()>& cancel) {
    double worst = 0;
    for (auto _ : state) {
        reset();
        auto running = std::async(std::launch::async, [&] {
            try {
                run();
            } catch (const marlowin::DecodingCancelled&) {
            } catch (const marlowin::TransferCancelled&) {
            }
        });
        std::this_thread::sleep_for(delay);
        const auto asked = Clock::now();
        cancel();
        running.wait();
        const double seconds = std::chrono::duration<double>(Clock::now() - asked).count();
        state.SetIterationTime(seconds);
        worst = std::max(worst, seconds);
    }
    state.counters["over_budget"] = worst / 0.1;
}

// A stop request made halfway through a pass over a page.
void cancel_latency(benchmark::State& state,
                    const std::function<void(const std::stop_token&)>& pass) {
    const auto whole_start = Clock::now();
    pass({});
    const auto whole = Clock::now() - whole_start;
    std::stop_source stopping;
    time_cancels(
        state, whole / 2, [&] { stopping = std::stop_source(); },
        [&] { pass(stopping.get_token()); }, [&] { stopping.request_stop(); });
    state.counters["whole_pass_ms"] = std::chrono::duration<double, std::milli>(whole).count();
}
void BM_CancelInLateMetaScan(benchmark::State& state) {
    cancel_latency(state, [](const std::stop_token& stop) {
        benchmark::DoNotOptimize(marlowin::late_meta_charset(pages().attributes, stop));
    });
}
void BM_CancelInUtf8Check(benchmark::State& state) {
    cancel_latency(state, [](const std::stop_token& stop) {
        benchmark::DoNotOptimize(marlowin::is_valid_utf8(pages().plain, stop));
    });
}
void BM_CancelInDetector(benchmark::State& state) {
    cancel_latency(state, [](const std::stop_token& stop) {
        benchmark::DoNotOptimize(marlowin::guess_encoding(pages().gbk, stop));
    });
}
void BM_CancelInGb18030Decoding(benchmark::State& state) {
    cancel_latency(state, [](const std::stop_token& stop) {
        benchmark::DoNotOptimize(marlowin::decode_bytes(marlowin::encoding(EncodingId::Gb18030),
                                                        std::string_view(pages().gbk), stop));
    });
}
void BM_CancelInSingleByteDecoding(benchmark::State& state) {
    cancel_latency(state, [](const std::stop_token& stop) {
        benchmark::DoNotOptimize(marlowin::decode_bytes(marlowin::encoding(EncodingId::Windows1252),
                                                        std::string_view(pages().gbk), stop));
    });
}
// A transfer from a server that sends a header and then nothing: the transfer's own wait.
void BM_CancelInTransfer(benchmark::State& state) {
    using marlowin::testing::Connection;
    using marlowin::testing::HttpRequest;
    marlowin::testing::LocalHttpServer stalled([](const HttpRequest&, Connection& connection) {
        connection.send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nsome");
        connection.wait(std::chrono::seconds(30));
    });
    marlowin::CurlTransfer transfer;
    std::stop_source stopping;
    time_cancels(
        state, std::chrono::milliseconds(150), [&] { stopping = std::stop_source(); },
        [&] { static_cast<void>(transfer.fetch(stalled.url(), stopping.get_token(), {})); },
        [&] { stopping.request_stop(); });
}
#if !defined(_WIN32)
// While the system's proxy is being asked: a PAC script whose server never answers, and one
// that runs for two seconds. libproxy reads its address from the environment here.
void cancel_while_pac(benchmark::State& state, const std::string& script) {
    using marlowin::testing::Connection;
    using marlowin::testing::HttpRequest;
    marlowin::testing::LocalHttpServer pac([&](const HttpRequest&, Connection& connection) {
        if (script.empty()) {
            connection.wait(std::chrono::seconds(30));
        } else {
            connection.respond(200, script, "application/x-ns-proxy-autoconfig");
        }
    });
    setenv("http_proxy", ("pac+" + pac.url("/proxy.pac")).c_str(), 1);
    marlowin::CurlTransfer transfer;
    std::stop_source stopping;
    time_cancels(
        state, std::chrono::milliseconds(150), [&] { stopping = std::stop_source(); },
        [&] { static_cast<void>(transfer.fetch("http://page.test/", stopping.get_token(), {})); },
        [&] { stopping.request_stop(); });
    unsetenv("http_proxy");
}
void BM_CancelWhilePacIsFetched(benchmark::State& state) {
    cancel_while_pac(state, "");
}
// How long the page takes when the system's PAC script loops forever, and a redirect chain of 20
// hops when the PAC server accepts and never answers: each against its own target, in
// seconds. Each round asks a script of its own, not remembered as slow yet.
void time_behind_pac(benchmark::State& state, const std::string& script, int hops,
                     double target_seconds) {
    using marlowin::testing::Connection;
    using marlowin::testing::HttpRequest;
    marlowin::testing::LocalHttpServer pac([&](const HttpRequest&, Connection& connection) {
        if (script.empty()) {
            connection.wait(std::chrono::seconds(30));
        } else {
            connection.respond(200, script, "application/x-ns-proxy-autoconfig");
        }
    });
    marlowin::testing::LocalHttpServer page([](const HttpRequest& request, Connection& c) {
        const int hop = std::stoi(request.target.substr(1));
        if (hop > 0) {
            c.respond(302, "", "", "Location: /" + std::to_string(hop - 1) + "\r\n");
        } else {
            c.respond(200, "<title>page</title>");
        }
    });
    const std::string port = page.url("").substr(page.url("").rfind(':') + 1);
    marlowin::CurlTransfer transfer(
        {}, marlowin::testing::test_requests({"page.test:" + port + ":127.0.0.1"}));
    double worst = 0;
    int round = 0;
    for (auto _ : state) {
        setenv("http_proxy", ("pac+" + pac.url("/") + std::to_string(round++)).c_str(), 1);
        const auto start = Clock::now();
        benchmark::DoNotOptimize(
            transfer.open_url("http://page.test:" + port + "/" + std::to_string(hops)));
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        worst = std::max(worst, seconds);
    }
    unsetenv("http_proxy");
    state.counters["over_budget"] = worst / target_seconds;
}
void BM_PageBehindLoopingPac(benchmark::State& state) {
    time_behind_pac(state, "while (true) {} function FindProxyForURL(u, h) { return 'DIRECT'; }", 0,
                    5.0);
}
void BM_ChainBehindStalledPac(benchmark::State& state) {
    time_behind_pac(state, "", 20, 10.0);
}
void BM_CancelWhilePacRuns(benchmark::State& state) {
    cancel_while_pac(state,
                     "function FindProxyForURL(url, host) {\n"
                     "  var start = Date.now(); while (Date.now() - start < 2000) {}\n"
                     "  return \"DIRECT\";\n}\n");
}
#endif
BENCHMARK(BM_CancelInLateMetaScan)->UseManualTime()->Iterations(5);
BENCHMARK(BM_CancelInUtf8Check)->UseManualTime()->Iterations(5);
BENCHMARK(BM_CancelInDetector)->UseManualTime()->Iterations(5);
BENCHMARK(BM_CancelInGb18030Decoding)->UseManualTime()->Iterations(5);
BENCHMARK(BM_CancelInSingleByteDecoding)->UseManualTime()->Iterations(5);
BENCHMARK(BM_CancelInTransfer)->UseManualTime()->Iterations(5);
#if !defined(_WIN32)
BENCHMARK(BM_CancelWhilePacIsFetched)->UseManualTime()->Iterations(5);
BENCHMARK(BM_CancelWhilePacRuns)->UseManualTime()->Iterations(5);
BENCHMARK(BM_PageBehindLoopingPac)->UseManualTime()->Iterations(3);
BENCHMARK(BM_ChainBehindStalledPac)->UseManualTime()->Iterations(3);
#endif

}  // namespace

int main(int argc, char** argv) {
    const auto latency = [](const char* label, const char* name) {
        return marlowin::bench::Ratio{label, name, "", 1.0, "over_budget"};
    };
    return marlowin::bench::run_with_ratios(
        argc, argv,
        {
            {"decode, 64 MiB one <meta> of millions of attributes vs plain",
             "BM_DecodeMillionsOfAttributes", "BM_DecodePlainPage", 2.0},
            {"decode, 64 MiB of unclosed <meta and <!-- vs plain",
             "BM_DecodeMillionsOfUnclosedTags", "BM_DecodePlainPage", 2.0},
            latency("cancel seen in the late <meta> scan, vs 0.1 s",
                    "BM_CancelInLateMetaScan/iterations:5/manual_time"),
            latency("cancel seen in the UTF-8 check, vs 0.1 s",
                    "BM_CancelInUtf8Check/iterations:5/manual_time"),
            latency("cancel seen in the detector, vs 0.1 s",
                    "BM_CancelInDetector/iterations:5/manual_time"),
            latency("cancel seen in GB18030 decoding, vs 0.1 s",
                    "BM_CancelInGb18030Decoding/iterations:5/manual_time"),
            latency("cancel seen in single-byte decoding, vs 0.1 s",
                    "BM_CancelInSingleByteDecoding/iterations:5/manual_time"),
            latency("cancel seen in a stalled transfer, vs 0.1 s",
                    "BM_CancelInTransfer/iterations:5/manual_time"),
            latency("cancel seen while a PAC script is fetched, vs 0.1 s",
                    "BM_CancelWhilePacIsFetched/iterations:5/manual_time"),
            latency("cancel seen while a PAC script runs, vs 0.1 s",
                    "BM_CancelWhilePacRuns/iterations:5/manual_time"),
            {"page behind a PAC script that loops, vs 5 s",
             "BM_PageBehindLoopingPac/iterations:3/manual_time", "", 1.0, "over_budget"},
            {"20-hop chain behind a PAC server that stalls, vs 10 s",
             "BM_ChainBehindStalledPac/iterations:3/manual_time", "", 1.0, "over_budget"},
        });
}
