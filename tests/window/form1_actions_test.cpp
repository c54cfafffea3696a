#include <gtest/gtest.h>

#include "tests/window/window_fixture.h"

namespace marlowin {
namespace {

using testing::SeenBox;
using testing::WindowTest;

const QString kDone = QStringLiteral("检索完毕！");
const QString kFailed = QStringLiteral("对不起，检索失败！");
const QString kNoPage = QStringLiteral("对不起，检索失败，不能进行提取！");
const QString kNothing = QStringLiteral("对不起，未提取到内容！");
const QString kExtracted = QStringLiteral("提取成功！");

void expect_notice(const SeenBox& box, const QString& text) {
    EXPECT_EQ(box.title, QStringLiteral("Marlowin"));
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.icon, QMessageBox::NoIcon);
    EXPECT_EQ(box.buttons, QStringList{QStringLiteral("确定")});
    EXPECT_TRUE(box.application_modal);
}

TEST_F(WindowTest, RetrieveThenExtractShowsTheTitleAndTheNotices) {
    serve("/gbk", {200,
                   "<html><head><title>\xB0\xD9\xB6\xC8\xD2\xBB\xCF\xC2\xA3\xAC\xC4\xE3\xBE\xCD\xD6"
                   "\xAA\xB5\xC0</title></head></html>",
                   "text/html"});
    retrieve(server.url("/gbk"));
    ASSERT_EQ(watcher.boxes.size(), 1u);
    expect_notice(watcher.boxes[0], kDone);

    click("Command2");
    ASSERT_EQ(watcher.boxes.size(), 2u);
    expect_notice(watcher.boxes[1], kExtracted);
    EXPECT_EQ(text3()->toPlainText(), QStringLiteral("百度一下，你就知道"));

    // Clear the result box and extract again: the page buffer still holds the page.
    click("Command5");
    EXPECT_TRUE(text3()->toPlainText().isEmpty());
    click("Command2");
    EXPECT_EQ(text3()->toPlainText(), QStringLiteral("百度一下，你就知道"));
    EXPECT_EQ(watcher.texts(), (QStringList{kDone, kExtracted, kExtracted}));
}

TEST_F(WindowTest, EveryRowOfTheNoticeTables) {
    serve("/empty", {200, "", "text/html"});
    serve("/spaces", {200, "  \r\n", "text/html"});
    serve("/caps", {200, "<TITLE>Caps</TITLE>", "text/html"});
    serve("/close-at-once", {200, "<title></title>", "text/html"});
    serve("/multi-line", {200, "<title>\n  two\n  lines\n</title>", "text/html"});

    // Both boxes empty.
    click("Command2");
    EXPECT_EQ(watcher.texts(), (QStringList{kNoPage, kNothing}));
    // Empty page buffer, typed text in the result box: kept, and not called a success.
    watcher.boxes.clear();
    QTest::keyClicks(text3(), QStringLiteral("typed"));
    click("Command2");
    EXPECT_EQ(watcher.texts(), (QStringList{kNoPage, kNothing}));
    EXPECT_EQ(text3()->toPlainText(), QStringLiteral("typed"));

    const struct {
        const char* path;
        QString retrieve_notice;
        QString extract_notice;
        QString result;
    } rows[] = {
        {"/empty", kFailed, kNoPage, QStringLiteral("typed")},
        {"/spaces", kDone, kNothing, QStringLiteral("typed")},
        {"/caps", kDone, kNothing, QStringLiteral("typed")},
        {"/multi-line", kDone, kExtracted, QStringLiteral("\n  two\n  lines\n")},
        {"/close-at-once", kDone, kNothing, QString()},
    };
    for (const auto& row : rows) {
        watcher.boxes.clear();
        retrieve(server.url(row.path));
        click("Command2");
        ASSERT_GE(watcher.boxes.size(), 2u) << row.path;
        EXPECT_EQ(watcher.boxes[0].text, row.retrieve_notice) << row.path;
        EXPECT_EQ(watcher.boxes[1].text, row.extract_notice) << row.path;
        EXPECT_EQ(text3()->toPlainText(), row.result) << row.path;
    }
}

TEST_F(WindowTest, AFailedFetchIsReportedAndTheProgramGoesOn) {
    serve("/page", {200, "<title>first</title>", "text/html"});
    retrieve(server.url("/page"));

    const std::string refused = "http://127.0.0.1:" + std::to_string(testing::refused_port()) + "/";
    const struct {
        std::string address;
        QString text;
    } failures[] = {
        {server.url("/missing"), QStringLiteral("错误 404：服务器返回 404（未找到）")},
        {refused, QStringLiteral("错误 7：无法连接到服务器（连接被拒绝）")},
        {"ftp://127.0.0.1/",
         QStringLiteral("错误 1：不支持的协议：只能检索 http:// 或 https:// 网址")},
    };
    for (const auto& failure : failures) {
        watcher.boxes.clear();
        retrieve(failure.address);
        ASSERT_EQ(watcher.boxes.size(), 1u) << failure.address;
        EXPECT_EQ(watcher.boxes[0].title, QStringLiteral("Marlowin"));
        EXPECT_EQ(watcher.boxes[0].text, failure.text);
        EXPECT_EQ(watcher.boxes[0].icon, QMessageBox::Critical);
        EXPECT_EQ(watcher.boxes[0].buttons, QStringList{QStringLiteral("确定")});
        EXPECT_FALSE(watcher.boxes[0].informative.isEmpty()) << "the technical detail";
        EXPECT_TRUE(form->isVisible());
    }
    // The page retrieved before the failures is still there.
    watcher.boxes.clear();
    click("Command2");
    EXPECT_EQ(watcher.texts(), QStringList{kExtracted});
    EXPECT_EQ(text3()->toPlainText(), QStringLiteral("first"));
}

TEST_F(WindowTest, SpaceOnTheStartFocusRetrievesTheEmptyAddress) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, QStringLiteral("错误 3：网址格式不正确"));
    EXPECT_TRUE(form->isVisible());

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
    click("Command4");  // clearing an empty box changes nothing
    click("Command5");
    EXPECT_TRUE(watcher.boxes.empty());
}

TEST_F(WindowTest, ExitEndsTheProgramWithoutAQuestion) {
    type_address("typed");
    QTest::keyClicks(text3(), QStringLiteral("result"));
    QTimer::singleShot(0, [&] { click("Command3"); });
    QTimer::singleShot(10000, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(watcher.boxes.empty());
}

}  // namespace
}  // namespace marlowin
