// The window as a person meets it: the time from a click on 检索 to the notice for a 50 MB
// page from 127.0.0.1, against a bare libcurl transfer of the same bytes; 提取 on a page whose
// title is 60 MB, against one whose title is as long as the result box shows whole; a pasted 8 MB
// address, against a short one; and the time from starting the program to its window being mapped
// on an X server, against a minimal Qt program that shows an empty window. All in the same run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <limits>
#include <string>

#include "bench/bare_libcurl.h"
#include "bench/big_pages.h"
#include "bench/ratio_report.h"
#include "bench/start_up_timer.h"
#include "tests/shared/local_http_server.h"
#include "tests/shared/process_usage.h"
#include "window/form1.h"
#include "workflow/extract_action.h"

namespace {

using Clock = std::chrono::steady_clock;
using marlowin::testing::Connection;
using marlowin::testing::HttpRequest;
using marlowin::testing::LocalHttpServer;

constexpr std::size_t kHugeTitle = std::size_t{60} << 20;
constexpr std::size_t kTitlePageSize = kHugeTitle + 4096;

// Pages of the same size, one with a 60 MB title, one with a title the result box shows whole.
std::string page_with_title(std::size_t title_size) {
    std::string page = "<html><head><meta charset=\"utf-8\"><title>";
    page.append(title_size, 'T');
    page += "</title></head><body>";
    page.resize(kTitlePageSize, 'x');
    return page;
}

struct Served {
    std::string page = marlowin::bench::big_utf8_page();
    std::string gbk_page = marlowin::bench::big_gbk_page();
    std::string huge_title = page_with_title(kHugeTitle);
    std::string shown_title = page_with_title(marlowin::kShownTitleLimit);
    LocalHttpServer server{[this](const HttpRequest& request, Connection& connection) {
        const std::string& body = request.target == "/gbk"           ? gbk_page
                                  : request.target == "/huge-title"  ? huge_title
                                  : request.target == "/shown-title" ? shown_title
                                                                     : page;
        connection.respond(200, body, "application/octet-stream");
    }};
};

Served& served() {
    static Served instance;
    return instance;
}

// Notes when a message box appears and dismisses it, so the action that showed it goes on.
class NoticeTimer : public QObject {
public:
    NoticeTimer() { qApp->installEventFilter(this); }
    ~NoticeTimer() override { qApp->removeEventFilter(this); }
    NoticeTimer(const NoticeTimer&) = delete;
    NoticeTimer& operator=(const NoticeTimer&) = delete;
    Clock::time_point shown;
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            if (auto* box = qobject_cast<QMessageBox*>(watched)) {
                shown = Clock::now();
                ++count;
                QTimer::singleShot(0, box, [box] { box->buttons().first()->click(); });
            }
        }
        return false;
    }
};

QPushButton* button(marlowin::Form1& form, const char* name) {
    return form.findChild<QPushButton*>(QString::fromLatin1(name));
}

// Clicks a button and lets the event loop run until the action's message box has shown.
double seconds_to_message_box(marlowin::Form1& form, const char* name, NoticeTimer& notices) {
    const int before = notices.count;
    const auto start = Clock::now();
    QTest::mouseClick(button(form, name), Qt::LeftButton);
    static_cast<void>(QTest::qWaitFor([&] { return notices.count > before; }, 120000));
    return std::chrono::duration<double>(notices.shown - start).count();
}

void BM_ClickToNotice(benchmark::State& state) {
    const std::string url = served().server.url("/");
    marlowin::Form1 form;
    form.show();
    form.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QString::fromStdString(url));
    NoticeTimer notices;
    for (auto _ : state) {
        state.SetIterationTime(seconds_to_message_box(form, "Command1", notices));
    }
}
BENCHMARK(BM_ClickToNotice)->UseManualTime()->Unit(benchmark::kMillisecond);

// 提取 on a retrieved page; counters: the most memory the program held during the extraction,
// counted from before the page was retrieved, over the page's size. The page itself is about
// 1; a copy of the title, in any form, shows on top of it.
void extract_title(benchmark::State& state, const char* path) {
    marlowin::Form1 form;
    form.show();
    form.findChild<QLineEdit*>(QStringLiteral("Text1"))
        ->setText(QString::fromStdString(served().server.url(path)));
    NoticeTimer notices;
    const auto before_page = marlowin::testing::ProcessUsage::now();
    seconds_to_message_box(form, "Command1", notices);
    double peak_kib = 0;
    for (auto _ : state) {
        marlowin::testing::ProcessUsage::reset_peak();
        state.SetIterationTime(seconds_to_message_box(form, "Command2", notices));
        peak_kib = std::max(peak_kib,
                            static_cast<double>(marlowin::testing::ProcessUsage::now().peak_kib) -
                                static_cast<double>(before_page.resident_kib));
    }
    state.counters["peak_mib"] = peak_kib / 1024;
    state.counters["peak_over_page"] = peak_kib * 1024 / static_cast<double>(kTitlePageSize);
}
void BM_ExtractHugeTitle(benchmark::State& state) {
    extract_title(state, "/huge-title");
}
void BM_ExtractShownTitle(benchmark::State& state) {
    extract_title(state, "/shown-title");
}
BENCHMARK(BM_ExtractShownTitle)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ExtractHugeTitle)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// A pasted address, from the click on 检索 to the error box that answers it.
void click_to_answer(benchmark::State& state, const QString& address) {
    marlowin::Form1 form;
    form.show();
    NoticeTimer notices;
    auto* text1 = form.findChild<QLineEdit*>(QStringLiteral("Text1"));
    text1->setText(address);
    text1->setFocus();
    for (auto _ : state) {
        state.SetIterationTime(seconds_to_message_box(form, "Command1", notices));
        text1->setFocus();
    }
}
const QString& long_address() {
    static const QString address = QStringLiteral("http://127.0.0.1/") + QString(8'000'000, u'a');
    return address;
}
void BM_AnswerLongAddress(benchmark::State& state) {
    click_to_answer(state, long_address());
}
// The baseline: Qt's own line edit taking the same text, as a paste does.
void BM_LineEditTakesLongAddress(benchmark::State& state) {
    QLineEdit edit;
    edit.setMaxLength(std::numeric_limits<int>::max());
    edit.show();
    for (auto _ : state) {
        const auto start = Clock::now();
        edit.setText(long_address());
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        edit.clear();
    }
}
BENCHMARK(BM_LineEditTakesLongAddress)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_AnswerLongAddress)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// Peak memory while a fresh window retrieves a 50 MB page and extracts its title, as a
// multiple of the page's size (counter "peak_over_page").
void peak_memory(benchmark::State& state, const char* path, std::size_t page_size) {
    const std::string url = served().server.url(path);
    NoticeTimer notices;
    for (auto _ : state) {
        marlowin::Form1 form;
        form.show();
        form.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QString::fromStdString(url));
        const auto before = marlowin::testing::ProcessUsage::now();
        marlowin::testing::ProcessUsage::reset_peak();
        seconds_to_message_box(form, "Command1", notices);
        seconds_to_message_box(form, "Command2", notices);
        const auto after = marlowin::testing::ProcessUsage::now();
        state.counters["peak_over_page"] =
            static_cast<double>(after.peak_kib - before.resident_kib) * 1024.0 /
            static_cast<double>(page_size);
    }
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
    static marlowin::bench::StartUpTimer timer;  // one connection to the X server for all runs
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
void BM_StartUpEmptyQt(benchmark::State& state) {
    time_start_up(state, EMPTY_WINDOW_PROGRAM);
}
BENCHMARK(BM_StartUpEmptyQt)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
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
             "BM_BareLibcurl/real_time", 1.2},
            // Both show the same text; the rest of the huge title may only cost its scan.
            {"extract, 60 MB title vs one shown whole (pages of 60 MB)",
             "BM_ExtractHugeTitle/iterations:5/manual_time",
             "BM_ExtractShownTitle/iterations:5/manual_time", 3.0},
            {"extract, 60 MB title: peak memory over the page",
             "BM_ExtractHugeTitle/iterations:5/manual_time", "", 1.2, "peak_over_page"},
            {"extract, title shown whole: peak memory over page",
             "BM_ExtractShownTitle/iterations:5/manual_time", "", 1.2, "peak_over_page"},
            {"click to answer, 8 MB address vs Qt taking it into a line edit",
             "BM_AnswerLongAddress/iterations:5/manual_time",
             "BM_LineEditTakesLongAddress/iterations:5/manual_time", 1.0},
            {"peak memory, 50 MB UTF-8 page, as a multiple of its size",
             "BM_PeakMemoryUtf8Page/iterations:1", "", 1.5, "peak_over_page"},
            {"peak memory, 50 MB GBK page, as a multiple of its size",
             "BM_PeakMemoryGbkPage/iterations:1", "", 2.5, "peak_over_page"},
            {"start-up to window shown vs Qt window, same widgets",
             "BM_StartUpMarlowin/iterations:20/manual_time",
             "BM_StartUpMinimalQt/iterations:20/manual_time", 1.0},
            {"start-up to window shown vs empty Qt window (reported)",
             "BM_StartUpMarlowin/iterations:20/manual_time",
             "BM_StartUpEmptyQt/iterations:20/manual_time", -1},
        });
}
