// The fetch as the window runs it: on a worker, with a progress dialog, and every way out of
// it honoured at any moment until the notice shows.
#include <gtest/gtest.h>

#include <qpa/qwindowsysteminterface.h>
#include <QClipboard>
#include <QProgressDialog>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "tests/shared/process_usage.h"
#include "tests/window/window_fixture.h"
#include "transfer/curl_transfer.h"

namespace marlowin {
namespace {

using namespace std::chrono_literals;
using testing::Connection;
using testing::HttpRequest;
using testing::LocalHttpServer;
using testing::WindowTest;

// What the window manager sends when the person clicks a window's close box.
void request_close(QWidget* window) {
    QWindowSystemInterface::handleCloseEvent<QWindowSystemInterface::SynchronousDelivery>(
        window->windowHandle());
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

// The program's fetcher, but one that, once asked to, holds a page it has received and decoded
// until released, deaf to cancel.
class HoldingFetcher final : public PageFetcher {
public:
    HoldingFetcher(std::atomic<bool>& hold, std::atomic<bool>& held,
                   std::shared_future<void> released)
        : hold_(hold), held_(held), released_(std::move(released)) {}
    void set_protocol(Protocol protocol) override { inner_.set_protocol(protocol); }
    std::string fetch(const std::string& address, std::stop_token stop,
                      const Progress& progress) override {
        std::string page = inner_.fetch(address, std::move(stop), progress);
        if (hold_) {
            held_ = true;
            released_.wait_for(30s);
        }
        return page;
    }

private:
    CurlTransfer inner_{testing::quick_options()};
    std::atomic<bool>& hold_;
    std::atomic<bool>& held_;
    std::shared_future<void> released_;
};

// An earlier page retrieved and extracted; a page whose body trickles in, a hundred bytes
// every 50 ms, for far longer than any test; and fetches that can be held once decoded.
class TrickleFetch : public WindowTest {
protected:
    LocalHttpServer trickle{[](const HttpRequest&, Connection& connection) {
        connection.send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n<title>new</title>");
        while (connection.wait(50ms) && connection.send(std::string(100, 'x'))) {
        }
    }};
    std::atomic<bool> hold{false};
    std::atomic<bool> held{false};
    std::promise<void> release;

    void SetUp() override {
        show_form([this, released = release.get_future().share()] {
            return std::make_unique<HoldingFetcher>(hold, held, released);
        });
        serve("/page", "<title>earlier</title>");
        retrieve(server.url("/page"));
        click("Command2");
        watcher.boxes.clear();
    }

    // Nothing of the cancelled fetch shows: no notice, the earlier page and result stay.
    void expect_nothing_changed() {
        EXPECT_TRUE(watcher.boxes.empty()) << watcher.texts().join(u' ').toStdString();
        EXPECT_EQ(text3()->toPlainText(), QStringLiteral("earlier"));
        text3()->clear();
        click("Command2");
        EXPECT_EQ(text3()->toPlainText(), QStringLiteral("earlier"));
        watcher.boxes.clear();
    }
};

// While the fetch runs, the window paints but takes no input; every way out of the progress
// dialog cancels it quietly and gives the window back as it was.
TEST_F(TrickleFetch, EveryWayOutOfTheProgressDialogCancelsQuietly) {
    const std::function<void(QProgressDialog*)> ways_out[] = {
        [](QProgressDialog* dialog) {
            QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
        },
        [](QProgressDialog* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); },
        [](QProgressDialog* dialog) { request_close(dialog); },
    };
    const QString address = QString::fromStdString(trickle.url());
    for (const auto& way_out : ways_out) {
        QString first;
        QString later;
        watcher.on_progress = [&](QProgressDialog* dialog) {
            EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Marlowin"));
            EXPECT_FALSE(dialog->isModal()) << "a modal dialog blocks the window's close box";
            EXPECT_EQ(dialog->findChild<QPushButton*>()->text(), QStringLiteral("取消"));
            first = dialog->labelText();
            QTest::qWait(400);
            later = dialog->labelText();
            way_out(dialog);
        };
        type_address(trickle.url());
        click("Command1");
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
        QTest::keyClicks(text1(), QStringLiteral("typed"));
        click("Command4");
        const PaintCounter paints(form.get());
        form->update();
        EXPECT_TRUE(QTest::qWaitFor([&] { return paints.count > 0; }, 5000)) << "the window paints";
        EXPECT_FALSE(button("Command1")->isEnabled()) << "while the fetch runs";
        wait_for_fetch();
        EXPECT_TRUE(first.startsWith(QStringLiteral("正在检索…\n已接收 "))) << first.toStdString();
        EXPECT_NE(first, later) << "the bytes received grow as they arrive";
        EXPECT_EQ(text1()->text(), address) << "no input reached the window";
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(form->focusWidget(), button("Command1")) << "the focus comes back";
        expect_nothing_changed();
    }
}

// A close request while the progress dialog shows ends the program, even with a worker deaf
// to cancel: the window closes at once, and the program learns within its grace that it must
// not wait for the worker.
TEST_F(TrickleFetch, AWorkerThatDoesNotStopCannotKeepTheProgram) {
    serve("/held", "<title>held</title>");
    hold = true;
    type_address(server.url("/held"));
    click("Command1");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return held && form->findChild<QProgressDialog*>()->isVisible(); }, 10000));
    QTimer::singleShot(0, [&] { request_close(form.get()); });
    QTimer::singleShot(20000, form.get(), [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(form->stop_fetch_within(100ms));
    release.set_value();
    EXPECT_TRUE(form->stop_fetch_within(10s));
    EXPECT_TRUE(watcher.boxes.empty());
}

// 退出 works while a fetch runs, as the close box does: the window closes, the fetch ends.
TEST_F(TrickleFetch, ExitWorksWhileAFetchRuns) {
    watcher.on_progress = [&](QProgressDialog* /*dialog*/) { click("Command3"); };
    type_address(trickle.url());
    QTimer::singleShot(0, [&] { click("Command1"); });
    QTimer::singleShot(20000, form.get(), [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(watcher.boxes.empty());
}

// Every byte has arrived and the page is decoded, but the fetch is held before it is
// delivered; 取消 now must still leave everything as it was.
TEST_F(TrickleFetch, CancelAfterEveryByteArrivedDropsThePage) {
    serve("/new", "<title>new</title>" + std::string(100000, 'x'));
    hold = true;
    QString label;
    watcher.on_progress = [&](QProgressDialog* dialog) {
        label = dialog->labelText();
        QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
        release.set_value();
    };
    type_address(server.url("/new"));
    click("Command1");
    wait_for_fetch();
    // Every byte of the page, and its headers.
    const QString received = label.section(u' ', 1, 1);
    EXPECT_GE(QLocale(QLocale::Chinese, QLocale::China).toULongLong(received), 100018u)
        << label.toStdString();
    expect_nothing_changed();
}

// A pasted address of hundreds of kilobytes gets its answer, and the report, which names the
// address, shows only its beginning.
TEST_F(WindowTest, AnOverlongAddressGetsAShortReport) {
    const QString address = QString::fromStdString(server.url("/")) + QString(200'000, u'b');
    QGuiApplication::clipboard()->setText(address);
    QTest::keyClick(text1(), Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(text1()->text(), address);
    click("Command1");
    wait_for_fetch();
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, QStringLiteral("错误 404：服务器返回 404（未找到）"));
    EXPECT_LT(watcher.boxes[0].informative.size(), 300);
}

// A thousand retrievals in one window: memory settles, and no file handle or thread is left
// behind by the fetches.
TEST_F(WindowTest, AThousandRetrievalsLeaveNothingBehind) {
    if (testing::running_under_wine()) {
        GTEST_SKIP() << "Wine's counts of memory, handles and threads are its own emulation's, "
                        "not the program's; the Linux run covers leaks";
    }
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "ThreadSanitizer's shadow memory and its ten times slower steps are not the "
                    "program's; the plain and AddressSanitizer runs cover leaks";
#endif
    std::string page = "<title>repeat</title>";
    page.resize(std::size_t{64} << 10, 'x');
    serve("/repeat", page);
    type_address(server.url("/repeat"));
    const auto retrieve_times = [&](int count) {
        for (int i = 0; i < count; ++i) {
            click("Command1");
            wait_for_fetch();
        }
    };
    const auto settled = [] {
        // The server's last connection thread may still be closing.
        std::this_thread::sleep_for(200ms);
        return testing::ProcessUsage::now();
    };
    retrieve_times(100);  // let allocators, caches and the thread pool reach their working size
    const auto before = settled();
    retrieve_times(1000);
    const auto after = settled();
    EXPECT_EQ(watcher.boxes.size(), 1100u);
    EXPECT_EQ(watcher.boxes.back().text, QStringLiteral("检索完毕！"));
    EXPECT_LE(after.open_files, before.open_files);
    EXPECT_LE(after.threads, before.threads);
#if !defined(__SANITIZE_ADDRESS__)  // its quarantine holds freed memory back on purpose
    EXPECT_LT(after.resident_kib, before.resident_kib + 4096)
        << "before " << before.resident_kib << " KiB, after " << after.resident_kib << " KiB";
#endif
}

}  // namespace
}  // namespace marlowin
