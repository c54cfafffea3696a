// The window as a person meets it: the time from a click on 检索 to the notice for a 50 MB
// page from 127.0.0.1, against a bare libcurl transfer of the same bytes; and the time from
// starting the program to its window being mapped on an X server, against a minimal Qt
// program that shows an empty window. All in the same run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <string>

#include "bench/bare_libcurl.h"
#include "bench/big_pages.h"
#include "bench/ratio_report.h"
#include "bench/start_up_timer.h"
#include "tests/support/local_http_server.h"
#include "tests/support/process_usage.h"
#include "window/form1.h"

namespace {

using Clock = std::chrono::steady_clock;
using marlowin::testing::Connection;
using marlowin::testing::HttpRequest;
using marlowin::testing::LocalHttpServer;

struct Served {
    std::string page = marlowin::bench::big_utf8_page();
    std::string gbk_page = marlowin::bench::big_gbk_page();
    LocalHttpServer server{[this](const HttpRequest& request, Connection& connection) {
        connection.respond(200, request.target == "/gbk" ? gbk_page : page,
                           "application/octet-stream");
    }};
};

Served& served() {
    static Served instance;
    return instance;
}

// Notes when a notice appears and dismisses it, so the click returns.
class NoticeTimer : public QObject {
public:
    Clock::time_point shown;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            if (auto* box = qobject_cast<QMessageBox*>(watched)) {
                shown = Clock::now();
                QTimer::singleShot(0, box, [box] { box->buttons().first()->click(); });
            }
        }
        return false;
    }
};

void BM_ClickToNotice(benchmark::State& state) {
    const std::string url = served().server.url("/");
    marlowin::Form1 form;
    form.show();
    auto* text1 = form.findChild<QLineEdit*>(QStringLiteral("Text1"));
    auto* command1 = form.findChild<QPushButton*>(QStringLiteral("Command1"));
    text1->setText(QString::fromStdString(url));
    NoticeTimer notices;
    qApp->installEventFilter(&notices);
    for (auto _ : state) {
        const auto start = Clock::now();
        QTest::mouseClick(command1, Qt::LeftButton);
        state.SetIterationTime(std::chrono::duration<double>(notices.shown - start).count());
    }
    qApp->removeEventFilter(&notices);
}
BENCHMARK(BM_ClickToNotice)->UseManualTime()->Unit(benchmark::kMillisecond);

// Peak memory while a fresh window retrieves a 50 MB page and extracts its title, as a
// multiple of the page's size (counter "peak_over_page").
void peak_memory(benchmark::State& state, const char* path, std::size_t page_size) {
    const std::string url = served().server.url(path);
    NoticeTimer notices;
    qApp->installEventFilter(&notices);
    for (auto _ : state) {
        marlowin::Form1 form;
        form.show();
        form.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QString::fromStdString(url));
        const auto before = marlowin::testing::ProcessUsage::now();
        marlowin::testing::ProcessUsage::reset_peak();
        QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
        QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
        const auto after = marlowin::testing::ProcessUsage::now();
        state.counters["peak_over_page"] =
            static_cast<double>(after.peak_kib - before.resident_kib) * 1024.0 /
            static_cast<double>(page_size);
    }
    qApp->removeEventFilter(&notices);
}
void BM_PeakMemoryUtf8Page(benchmark::State& state) {
    peak_memory(state, "/utf8", served().page.size());
}
void BM_PeakMemoryGbkPage(benchmark::State& state) {
    peak_memory(state, "/gbk", served().gbk_page.size());
}
BENCHMARK(BM_PeakMemoryUtf8Page)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakMemoryGbkPage)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_BareLibcurl(benchmark::State& state) {
    const std::string url = served().server.url("/");
    for (auto _ : state) {
        std::string body = marlowin::bench::bare_libcurl_fetch(url);
        benchmark::DoNotOptimize(body.data());
    }
}
BENCHMARK(BM_BareLibcurl)->UseRealTime()->Unit(benchmark::kMillisecond);

void time_start_up(benchmark::State& state, const char* program) {
    marlowin::bench::StartUpTimer timer;
    for (auto _ : state) {
        const auto seconds = timer.time_to_window(program);
        if (!seconds) {
            state.SkipWithError("no X server, or the program did not start");
            break;
        }
        state.SetIterationTime(*seconds);
    }
}

void BM_StartUpMarlowin(benchmark::State& state) {
    time_start_up(state, MARLOWIN_PROGRAM);
}
void BM_StartUpMinimalQt(benchmark::State& state) {
    time_start_up(state, MINIMAL_WINDOW_PROGRAM);
}
BENCHMARK(BM_StartUpMinimalQt)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_StartUpMarlowin)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

int main(int argc, char** argv) {
    curl_global_init(CURL_GLOBAL_DEFAULT);  // for the libcurl baseline, before any thread
    // The click benchmark drives the real window off screen; the start-up one starts the
    // programs on the X server named by DISPLAY.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qputenv("QT_QPA_PLATFORM", "xcb");
    return marlowin::bench::run_with_ratios(
        argc, argv,
        {
            {"click to notice, 50 MB page vs bare libcurl", "BM_ClickToNotice/manual_time",
             "BM_BareLibcurl/real_time", 1.5},
            {"peak memory, 50 MB UTF-8 page, as a multiple of its size",
             "BM_PeakMemoryUtf8Page/iterations:1", "", 4.0, "peak_over_page"},
            {"peak memory, 50 MB GBK page, as a multiple of its size",
             "BM_PeakMemoryGbkPage/iterations:1", "", 4.0, "peak_over_page"},
            {"start-up to window shown vs minimal Qt window",
             "BM_StartUpMarlowin/iterations:20/manual_time",
             "BM_StartUpMinimalQt/iterations:20/manual_time", 1.3},
        });
}
