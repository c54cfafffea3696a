#include <gtest/gtest.h>

#include <QLabel>

#include <chrono>

#include "tests/window/window_fixture.h"
#include "window/fetch_progress_dialog.h"

namespace marlowin {
namespace {

using namespace std::chrono_literals;
using testing::WindowTest;

// A server that sends the headers and a first part, then nothing for a long time.
class StalledFetch : public WindowTest {
protected:
    testing::LocalHttpServer stalled{[](const testing::HttpRequest&, testing::Connection& c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n<title>partial");
        c.wait(60s);
    }};

    StalledFetch() {
        // The program's own time-outs: only 取消 or closing can end these fetches quickly.
        form = std::make_unique<Form1>();
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
};

TEST_F(StalledFetch, CancelInTheProgressDialogEndsTheFetchQuietly) {
    serve("/page", {200, "<title>earlier</title>", "text/html"});
    retrieve(server.url("/page"));
    watcher.boxes.clear();

    QString dialog_title;
    QString status;
    watcher.on_other_dialog = [&](QWidget* dialog) {
        dialog_title = dialog->windowTitle();
        status = dialog->findChild<QLabel*>(QStringLiteral("Status"))->text();
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("Cancel")),
                          Qt::LeftButton);
    };
    const auto start = std::chrono::steady_clock::now();
    retrieve(stalled.url());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 30s) << "cancel must end the fetch";
    EXPECT_EQ(dialog_title, QStringLiteral("Marlowin"));
    EXPECT_EQ(status, QStringLiteral("正在检索…"));
    EXPECT_TRUE(watcher.boxes.empty()) << "no notice after a cancel";

    // The page buffer still holds the earlier page.
    watcher.on_other_dialog = nullptr;
    click("Command2");
    EXPECT_EQ(text3()->toPlainText(), QStringLiteral("earlier"));
}

TEST_F(StalledFetch, ClosingTheProgressDialogIsTheSameAsCancel) {
    watcher.on_other_dialog = [](QWidget* dialog) { dialog->close(); };
    retrieve(stalled.url());
    EXPECT_TRUE(watcher.boxes.empty());
}

TEST_F(StalledFetch, WhileFetchingTheWindowPaintsButTakesNoInput) {
    type_address(stalled.url());
    bool busy_cursor = false;
    bool painted = false;
    QTimer::singleShot(200, [&] {
        busy_cursor = QApplication::overrideCursor() != nullptr &&
                      QApplication::overrideCursor()->shape() == Qt::BusyCursor;
        // Input to the window's own elements is swallowed: neither clear button works.
        QTest::keyClicks(text1(), QStringLiteral("typed during fetch"));
        QTest::mouseClick(button("Command4"), Qt::LeftButton);
        // Painting goes on.
        form->repaint();
        painted = true;
    });
    watcher.on_other_dialog = [](QWidget* dialog) {
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("Cancel")),
                          Qt::LeftButton);
    };
    click("Command1");
    EXPECT_TRUE(busy_cursor);
    EXPECT_TRUE(painted);
    EXPECT_EQ(text1()->text().toStdString(), stalled.url());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the cursor is restored";
}

TEST_F(StalledFetch, ClosingTheWindowDuringAFetchEndsTheProgram) {
    type_address(stalled.url());
    QTimer::singleShot(0, [&] { click("Command1"); });
    QTimer::singleShot(800, [&] { form->close(); });
    QTimer::singleShot(20000, [] { QCoreApplication::exit(99); });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 15s) << "no hang after closing";
    EXPECT_TRUE(watcher.boxes.empty());
}

TEST_F(WindowTest, ABigPageGoesIntoThePageBufferNotIntoATextLayout) {
    std::string big = "<title>big</title>";
    big.resize(std::size_t{20} << 20, 'x');
    serve("/big", {200, big, "text/html"});
    retrieve(server.url("/big"));
    EXPECT_EQ(watcher.texts(), QStringList{QStringLiteral("检索完毕！")});
    EXPECT_TRUE(form->findChild<QPlainTextEdit*>(QStringLiteral("Text2"))->toPlainText().isEmpty());
    click("Command2");
    EXPECT_EQ(text3()->toPlainText(), QStringLiteral("big"));
}

}  // namespace
}  // namespace marlowin
