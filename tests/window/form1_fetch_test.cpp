// The fetch as the window runs it: on a worker, with a progress dialog, and every way out of
// it honoured at any moment until the notice shows.
#include <gtest/gtest.h>

#include <qpa/qwindowsysteminterface.h>
#include <QClipboard>
#include <QProgressDialog>

#include <atomic>
#include <chrono>
#include <future>

#include "tests/window/window_fixture.h"

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

// A page whose body trickles in, a hundred bytes every 50 ms, for far longer than any test.
class TrickleFetch : public WindowTest {
protected:
    LocalHttpServer trickle{[](const HttpRequest&, Connection& connection) {
        connection.send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n<title>new</title>");
        while (connection.wait(50ms) && connection.send(std::string(100, 'x'))) {
        }
    }};

    void SetUp() override {
        serve("/page", {200, "<title>earlier</title>"});
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

TEST_F(TrickleFetch, EveryWayOutOfTheProgressDialogCancelsQuietly) {
    const std::function<void(QProgressDialog*)> ways_out[] = {
        [](QProgressDialog* dialog) {
            QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
        },
        [](QProgressDialog* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); },
        [](QProgressDialog* dialog) { request_close(dialog); },
    };
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
        wait_for_fetch();
        EXPECT_TRUE(first.startsWith(QStringLiteral("正在检索…\n已接收 "))) << first.toStdString();
        EXPECT_NE(first, later) << "the bytes received grow as they arrive";
        expect_nothing_changed();
    }
}

TEST_F(TrickleFetch, WhileFetchingTheWindowPaintsButTakesNoInput) {
    const QString address = QString::fromStdString(trickle.url());
    type_address(trickle.url());
    click("Command1");
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    for (const char* name : {"Command1", "Command2", "Command3", "Command4", "Command5"}) {
        EXPECT_FALSE(button(name)->isEnabled()) << name;
    }
    QTest::keyClicks(text1(), QStringLiteral("typed"));
    QTest::mouseClick(button("Command4"), Qt::LeftButton);
    EXPECT_FALSE(form->grab().isNull()) << "the window paints";

    watcher.on_progress = [](QProgressDialog* dialog) {
        QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
    };
    wait_for_fetch();
    EXPECT_EQ(text1()->text(), address);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::focusWidget(), button("Command1")) << "the focus comes back";
    expect_nothing_changed();
}

TEST_F(TrickleFetch, ACloseRequestWithTheProgressDialogShowingEndsTheProgram) {
    type_address(trickle.url());
    watcher.on_progress = [&](QProgressDialog*) { request_close(form.get()); };
    QTimer::singleShot(0, [&] { click("Command1"); });
    QTimer::singleShot(20000, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(watcher.boxes.empty());
}

// Every byte has arrived and the page is decoded, but the fetch is held before it is
// delivered; 取消 now must still leave everything as it was.
TEST_F(WindowTest, CancelAfterEveryByteArrivedDropsThePage) {
    std::atomic<bool> hold{false};
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    TransferOptions options = testing::quick_options();
    options.before_delivery = [&hold, released] {
        if (hold) {
            released.wait_for(30s);
        }
    };
    show_form(options);
    serve("/page", {200, "<title>earlier</title>"});
    serve("/new", {200, "<title>new</title>" + std::string(100000, 'x')});
    retrieve(server.url("/page"));
    watcher.boxes.clear();

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
    EXPECT_TRUE(label.endsWith(QStringLiteral("100,018 字节"))) << label.toStdString();
    EXPECT_TRUE(watcher.boxes.empty());
    click("Command2");
    EXPECT_EQ(text3()->toPlainText(), QStringLiteral("earlier"));
}

TEST_F(WindowTest, AHugeTitleIsShownAsItsBeginningAndThePageIsNeverLaidOut) {
    const QString title = QString(300000, QChar(0x4E2D));  // 中
    std::string page = "<title>" + title.toStdString() + "</title>";
    page.resize(std::size_t{20} << 20, 'x');
    serve("/big", {200, page});
    retrieve(server.url("/big"));
    EXPECT_TRUE(form->findChild<QPlainTextEdit*>(QStringLiteral("Text2"))->toPlainText().isEmpty());
    click("Command2");
    EXPECT_EQ(text3()->toPlainText(), title.left(65536) + QStringLiteral("…"));
    EXPECT_EQ(watcher.texts(),
              (QStringList{QStringLiteral("检索完毕！"), QStringLiteral("提取成功！")}));
}

// A pasted address of megabytes gets its answer, and the report does not echo all of it.
TEST_F(WindowTest, AnOverlongAddressGetsAShortReport) {
    const struct {
        QString address;
        QString report;
    } rows[] = {
        {QString::fromStdString(server.url("/")) + QString(2'000'000, u'a'),
         QStringLiteral("错误 27：网址太长（超过 100 万个字符），无法发送")},
        {QStringLiteral("http://a%41/") + QString(2'000'000, u'b'),
         QStringLiteral("错误 3：网址格式不正确")},
    };
    for (const auto& row : rows) {
        watcher.boxes.clear();
        text1()->clear();
        QGuiApplication::clipboard()->setText(row.address);
        QTest::keyClick(text1(), Qt::Key_V, Qt::ControlModifier);
        ASSERT_EQ(text1()->text().size(), row.address.size());
        click("Command1");
        wait_for_fetch();
        ASSERT_EQ(watcher.boxes.size(), 1u);
        EXPECT_EQ(watcher.boxes[0].text, row.report);
        EXPECT_LT(watcher.boxes[0].informative.size(), 300);
    }
}

}  // namespace
}  // namespace marlowin
