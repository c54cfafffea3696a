// Each button bound to its action, each notice and error report as the person sees it. The
// logic behind them is covered by the workflow and transfer tests; here one row each.
#include <gtest/gtest.h>

#include "tests/window/window_fixture.h"

namespace marlowin {
namespace {

using testing::WindowTest;

const QString kDone = QStringLiteral("检索完毕！");
const QString kFailed = QStringLiteral("对不起，检索失败！");
const QString kNoPage = QStringLiteral("对不起，检索失败，不能进行提取！");
const QString kNothing = QStringLiteral("对不起，未提取到内容！");
const QString kExtracted = QStringLiteral("提取成功！");

TEST_F(WindowTest, RetrieveThenExtractShowsTheTitleAndTheNotices) {
    serve("/gbk", {200,
                   "<html><head><title>\xB0\xD9\xB6\xC8\xD2\xBB\xCF\xC2\xA3\xAC\xC4\xE3\xBE\xCD\xD6"
                   "\xAA\xB5\xC0</title></head></html>"});
    retrieve(server.url("/gbk"));
    click("Command2");
    EXPECT_EQ(text3()->toPlainText(), QStringLiteral("百度一下，你就知道"));
    ASSERT_EQ(watcher.texts(), (QStringList{kDone, kExtracted}));
    for (const auto& box : watcher.boxes) {
        EXPECT_EQ(box.title, QStringLiteral("Marlowin"));
        EXPECT_EQ(box.icon, QMessageBox::NoIcon);
        EXPECT_EQ(box.buttons, QStringList{QStringLiteral("确定")});
        EXPECT_TRUE(box.application_modal);
    }

    // Clear the result box and extract again: the page buffer still holds the page.
    click("Command5");
    EXPECT_TRUE(text3()->toPlainText().isEmpty());
    click("Command2");
    EXPECT_EQ(text3()->toPlainText(), QStringLiteral("百度一下，你就知道"));
}

TEST_F(WindowTest, AnEmptyPageAndAnEmptyBufferAreReported) {
    serve("/empty", {200, ""});
    QTest::keyClicks(text3(), QStringLiteral("typed"));
    retrieve(server.url("/empty"));
    click("Command2");
    EXPECT_EQ(watcher.texts(), (QStringList{kFailed, kNoPage, kNothing}));
    EXPECT_EQ(text3()->toPlainText(), QStringLiteral("typed"));
}

TEST_F(WindowTest, AFailedFetchIsReportedAndTheEarlierPageKept) {
    serve("/page", {200, "<title>first</title>"});
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

TEST_F(WindowTest, ClearButtonsEmptyTheirBoxesQuietly) {
    type_address("http://127.0.0.1/");
    QTest::keyClicks(text3(), QStringLiteral("result"));
    click("Command4");
    EXPECT_TRUE(text1()->text().isEmpty());
    EXPECT_EQ(text3()->toPlainText(), QStringLiteral("result"));
    click("Command5");
    EXPECT_TRUE(text3()->toPlainText().isEmpty());
    EXPECT_TRUE(watcher.boxes.empty());
}

TEST_F(WindowTest, ExitEndsTheProgramWithoutAQuestion) {
    type_address("typed");
    QTimer::singleShot(0, [&] { click("Command3"); });
    QTimer::singleShot(10000, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(watcher.boxes.empty());
}

}  // namespace
}  // namespace marlowin
