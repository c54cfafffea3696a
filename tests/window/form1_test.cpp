// Form1 as the person meets it: its layout, each button bound to its action, each notice
// and error report. The logic behind the actions is covered by the workflow and transfer
// tests; here one row each.
#include <gtest/gtest.h>

#include <QScrollBar>

#include <mutex>
#include <string>

#include "tests/shared/system_proxy_settings.h"
#include "tests/shared/test_requests.h"
#include "tests/window/window_fixture.h"
#include "transfer/curl_transfer.h"

namespace marlowin {
namespace {

using testing::WindowTest;

// The window as the person finds it: a fixed size with the program's icon; along the top the
// label, the address box and its 清空; the result box across the middle, the hidden page buffer
// inside it; along the bottom 检索, 提取, 清空, 退出 from left to right; nothing overlapping.
TEST_F(WindowTest, TheElementsLieWhereThePersonLooksForThem) {
    EXPECT_EQ(form->size(), QSize(339, 230));
    EXPECT_EQ(form->minimumSize(), form->maximumSize()) << "fixed size";
    // The program's icon, which follows the first paint.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->windowIcon().isNull(); }, 5000));
    const QList<QSize> sizes = form->windowIcon().availableSizes();
    for (const int side : {16, 32, 48, 64}) {
        EXPECT_TRUE(sizes.contains(QSize(side, side))) << side;
    }
    EXPECT_TRUE(form->windowIcon().pixmap(64, 64).toImage().hasAlphaChannel());

    const auto element = [&](const char* name) {
        return form->findChild<QWidget*>(QString::fromLatin1(name));
    };
    const auto caption = [&](const char* name) { return element(name)->property("text"); };
    const auto rows = {std::vector<const char*>{"Label1", "Text1", "Command4"},
                       std::vector<const char*>{"Command1", "Command2", "Command5", "Command3"}};
    for (const auto& row : rows) {
        for (std::size_t i = 1; i < row.size(); ++i) {
            const QRect left = element(row[i - 1])->geometry();
            const QRect right = element(row[i])->geometry();
            EXPECT_LT(left.left(), right.left()) << row[i - 1] << " before " << row[i];
            EXPECT_TRUE(left.top() < right.bottom() && right.top() < left.bottom())
                << row[i - 1] << " beside " << row[i];
        }
    }
    EXPECT_EQ(caption("Label1").toString(), QStringLiteral("目标网址："));
    const QStringList bottom = {caption("Command1").toString(), caption("Command2").toString(),
                                caption("Command5").toString(), caption("Command3").toString()};
    EXPECT_EQ(bottom, (QStringList{QStringLiteral("检索"), QStringLiteral("提取"),
                                   QStringLiteral("清空"), QStringLiteral("退出")}));
    EXPECT_EQ(caption("Command4").toString(), QStringLiteral("清空"));

    const QRect result = element("Text3")->geometry();
    EXPECT_LT(element("Text1")->geometry().bottom(), result.top());
    EXPECT_LT(result.bottom(), element("Command1")->geometry().top());
    EXPECT_FALSE(element("Text2")->isVisible());
    EXPECT_TRUE(result.contains(element("Text2")->geometry()));
    EXPECT_TRUE(form->rect().contains(element("Label1")->geometry()));
    // What takes clicks and keys never overlaps (the label may run a pixel under its box).
    const char* active[] = {"Text1",    "Command4", "Text3",   "Command1",
                            "Command2", "Command5", "Command3"};
    for (const char* a : active) {
        EXPECT_TRUE(element(a)->isVisible()) << a;
        EXPECT_TRUE(form->rect().contains(element(a)->geometry())) << a;
        for (const char* b : active) {
            EXPECT_TRUE(a == b || !element(a)->geometry().intersects(element(b)->geometry()))
                << a << " overlaps " << b;
        }
    }
}

// The boxes start empty and take a long line whole, scrolling sideways instead of wrapping.
TEST_F(WindowTest, TextBoxesTakeLongLinesWhole) {
    EXPECT_TRUE(text1()->text().isEmpty() && text3()->toPlainText().isEmpty());
    const QString line(100000, QLatin1Char('x'));
    text1()->setText(line);
    text3()->setPlainText(line);
    QApplication::processEvents();
    EXPECT_EQ(text1()->text(), line) << "no length limit";
    EXPECT_EQ(text3()->document()->lineCount(), 1);
    EXPECT_GT(text3()->horizontalScrollBar()->maximum(), 0);
}

TEST_F(WindowTest, FocusStartsOnRetrieveAndTabFollowsTheTabIndex) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    const char* order[] = {"Command1", "Text1",    "Command2", "Command3",
                           "Text3",    "Command4", "Command5", "Command1"};
    for (const char* name : order) {
        EXPECT_EQ(QApplication::focusWidget()->objectName(), QString::fromLatin1(name));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    // Tab leaves the result box instead of going into its text.
    text3()->setFocus();
    QTest::keyClick(text3(), Qt::Key_Tab);
    EXPECT_TRUE(text3()->toPlainText().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), button("Command4"));
}

const QString kDone = QStringLiteral("检索完毕！");
const QString kFailed = QStringLiteral("对不起，检索失败！");
const QString kNoPage = QStringLiteral("对不起，检索失败，不能进行提取！");
const QString kNothing = QStringLiteral("对不起，未提取到内容！");
const QString kExtracted = QStringLiteral("提取成功！");

TEST_F(WindowTest, RetrieveThenExtractShowsTheTitleAndTheNotices) {
    // 百度一下，你就知道 in GBK, with a NUL byte the result box must keep.
    serve("/gbk",
          std::string("<title>\xB0\xD9\xB6\xC8\xD2\xBB\xCF\xC2\xA3\xAC\0\xC4\xE3\xBE\xCD\xD6\xAA"
                      "\xB5\xC0</title>",
                      34),
          "text/html; charset=gbk");
    const QString title = QStringLiteral("百度一下，") + QChar(0) + QStringLiteral("你就知道");
    retrieve(server.url("/gbk"));
    click("Command2");
    EXPECT_EQ(text3()->toPlainText(), title);
    ASSERT_EQ(watcher.texts(), (QStringList{kDone, kExtracted}));
    for (const auto& box : watcher.boxes) {
        EXPECT_EQ(box.title, QStringLiteral("Marlowin"));
        EXPECT_EQ(box.icon, QMessageBox::NoIcon);
        EXPECT_EQ(box.buttons, QStringList{QStringLiteral("确定")});
        EXPECT_TRUE(box.application_modal);
    }

    // Each clear button empties its own box, quietly; extract again: the page buffer still
    // holds the page.
    click("Command4");
    EXPECT_TRUE(text1()->text().isEmpty());
    EXPECT_EQ(text3()->toPlainText(), title);
    click("Command5");
    EXPECT_TRUE(text3()->toPlainText().isEmpty());
    EXPECT_EQ(watcher.boxes.size(), 2u);
    click("Command2");
    EXPECT_EQ(text3()->toPlainText(), title);
}

TEST_F(WindowTest, AnEmptyPageAndAnEmptyBufferAreReported) {
    serve("/empty", "");
    QTest::keyClicks(text3(), QStringLiteral("typed"));
    retrieve(server.url("/empty"));
    click("Command2");
    EXPECT_EQ(watcher.texts(), (QStringList{kFailed, kNoPage, kNothing}));
    EXPECT_EQ(text3()->toPlainText(), QStringLiteral("typed"));
}

TEST_F(WindowTest, AFailedFetchIsReportedAndTheEarlierPageKept) {
    serve("/page", "<title>first</title>");
    retrieve(server.url("/page"));
    watcher.boxes.clear();
    retrieve(server.url("/missing"));
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].title, QStringLiteral("Marlowin"));
    EXPECT_EQ(watcher.boxes[0].text, QStringLiteral("错误 404：服务器返回 404（未找到）"));
    EXPECT_EQ(watcher.boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(watcher.boxes[0].buttons, QStringList{QStringLiteral("确定")});
    EXPECT_TRUE(watcher.boxes[0].informative.contains(QStringLiteral("HTTP status 404")));
    EXPECT_TRUE(form->isVisible());
    click("Command2");
    EXPECT_EQ(text3()->toPlainText(), QStringLiteral("first"));
}

// The system's settings name a PAC script before the window and its threads start, as a
// person's do (and as ThreadSanitizer then sees the environment set before anything reads it).
class SystemProxyFirst {
protected:
    SystemProxyFirst() { settings.use_pac(pac.url("/proxy.pac")); }

    std::mutex mutex;
    std::string proxy_address;  // the fixture's server, known once it runs
    testing::LocalHttpServer pac{[this](const testing::HttpRequest&, testing::Connection& c) {
        std::unique_lock lock(mutex);
        const std::string script =
            "function FindProxyForURL(url, host) { return \"PROXY " + proxy_address + "\"; }";
        lock.unlock();
        c.respond(200, script, "application/x-ns-proxy-autoconfig");
    }};
    testing::SystemProxySettings settings;
};
class WindowBehindAProxy : public SystemProxyFirst, public WindowTest {};

// Behind a proxy named only in the system's settings, the page comes through the proxy: here
// the fixture's server, which answers the absolute-form request.
TEST_F(WindowBehindAProxy, RetrievesAndExtractsThroughTheSystemsProxy) {
    {
        const std::lock_guard lock(mutex);
        proxy_address = server.url("").substr(7);
    }
    show_form([] {  // page.test unproxied meets a closed port, not DNS
        return std::make_unique<CurlTransfer>(testing::quick_options(),
                                              testing::test_requests({"page.test:80:127.0.0.1"}));
    });
    serve("http://page.test/p", "<title>经代理</title>", "text/html; charset=utf-8");
    retrieve("http://page.test/p");
    click("Command2");
    EXPECT_EQ(text3()->toPlainText(), QStringLiteral("经代理"));
    EXPECT_EQ(watcher.texts(), (QStringList{kDone, kExtracted}));
}

TEST_F(WindowTest, SpaceOnTheStartFocusRetrievesTheEmptyAddress) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    wait_for_fetch();
    EXPECT_EQ(watcher.texts(), QStringList{QStringLiteral("错误 3：网址格式不正确")});

    // Enter on a focused button clicks it too.
    watcher.boxes.clear();
    button("Command2")->setFocus();
    QTest::keyClick(button("Command2"), Qt::Key_Return);
    EXPECT_EQ(watcher.texts(), (QStringList{kNoPage, kNothing}));
}

}  // namespace
}  // namespace marlowin
