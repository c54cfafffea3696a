#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "window/form1.h"

namespace marlowin {
namespace {

template <typename T = QWidget>
T* element(QWidget& form, const char* name) {
    auto* widget = form.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

TEST(Form1Layout, EveryElementHasItsPlaceSizeAndCaption) {
    Form1 form;
    form.show();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Kestrova"));
    EXPECT_EQ(form.size(), QSize(339, 230));
    EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "fixed size";
    // The program icon, drawn for each size a desktop asks for.
    const QList<QSize> sizes = form.windowIcon().availableSizes();
    for (const int side : {16, 32, 48, 64}) {
        EXPECT_TRUE(sizes.contains(QSize(side, side))) << side;
    }
    EXPECT_TRUE(form.windowIcon().pixmap(64, 64).toImage().hasAlphaChannel());

    const struct {
        const char* name;
        QRect pixels;
        const char* caption;
        bool visible;
    } rows[] = {
        {"Command1", {16, 192, 65, 33}, "检索", true},
        {"Text1", {72, 8, 201, 25}, nullptr, true},
        {"Label1", {8, 16, 65, 25}, "目标网址：", true},
        {"Command2", {96, 192, 65, 33}, "提取", true},
        {"Text2", {16, 48, 73, 33}, nullptr, false},
        {"Command3", {256, 192, 57, 33}, "退出", true},
        {"Text3", {16, 48, 305, 129}, nullptr, true},
        {"Command4", {280, 8, 49, 25}, "清空", true},
        {"Command5", {176, 192, 57, 33}, "清空", true},
    };
    for (const auto& row : rows) {
        QWidget* widget = element(form, row.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), row.pixels) << row.name;
        EXPECT_EQ(widget->isVisible(), row.visible) << row.name;
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_EQ(button->text(), QString::fromUtf8(row.caption)) << row.name;
            EXPECT_FALSE(button->isDefault() || button->autoDefault()) << row.name;
            EXPECT_EQ(button->accessibleName(), button->text()) << row.name;
        }
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            EXPECT_EQ(label->text(), QString::fromUtf8(row.caption));
        }
    }
}

TEST(Form1Layout, TextBoxesAreAsDesigned) {
    Form1 form;
    auto* text1 = element<QLineEdit>(form, "Text1");
    auto* text2 = element<QPlainTextEdit>(form, "Text2");
    auto* text3 = element<QPlainTextEdit>(form, "Text3");
    ASSERT_TRUE(text1 && text2 && text3);
    for (const QString& box : {text1->text(), text2->toPlainText(), text3->toPlainText()}) {
        EXPECT_TRUE(box.isEmpty());
    }
    EXPECT_GE(text1->maxLength(), 1 << 30) << "no length limit";
    EXPECT_FALSE(text1->isReadOnly() || text3->isReadOnly());
    EXPECT_EQ(text1->echoMode(), QLineEdit::Normal);
    for (QPlainTextEdit* box : {text2, text3}) {
        EXPECT_EQ(box->lineWrapMode(), QPlainTextEdit::NoWrap);
        EXPECT_EQ(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        EXPECT_EQ(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    }
    EXPECT_EQ(element<QLabel>(form, "Label1")->buddy(), text1);
    EXPECT_FALSE(text1->accessibleName().isEmpty());
    EXPECT_FALSE(text3->accessibleName().isEmpty());

    // A long line scrolls sideways instead of wrapping.
    form.show();
    text3->setPlainText(QString(500, QLatin1Char('x')));
    QApplication::processEvents();
    EXPECT_GT(text3->horizontalScrollBar()->maximum(), 0);
}

TEST(Form1Layout, FocusStartsOnRetrieveAndTabFollowsTheTabIndex) {
    Form1 form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    const char* order[] = {"Command1", "Text1",    "Command2", "Command3",
                           "Text3",    "Command4", "Command5", "Command1"};
    EXPECT_EQ(QApplication::focusWidget(), element(form, order[0]));
    for (std::size_t i = 1; i < std::size(order); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), element(form, order[i])) << "after " << order[i - 1];
    }
    // Tab leaves the result box instead of going into its text.
    auto* text3 = element<QPlainTextEdit>(form, "Text3");
    text3->setFocus();
    QTest::keyClick(text3, Qt::Key_Tab);
    EXPECT_TRUE(text3->toPlainText().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), element(form, "Command4"));
}

}  // namespace
}  // namespace marlowin
