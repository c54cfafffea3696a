#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "tests/support/local_http_server.h"
#include "tests/window/dialog_watcher.h"
#include "window/form1.h"

namespace marlowin::testing {

/// The program's settings with time-outs short enough for tests.
inline TransferOptions quick_options() {
    TransferOptions options;
    options.connect_timeout = std::chrono::seconds(2);
    options.idle_timeout = std::chrono::seconds(2);
    return options;
}

/// A shown Form1, a local server with fixed pages, and the dialog watcher.
class WindowTest : public ::testing::Test {
protected:
    struct Page {
        int status;
        std::string body;
        std::string content_type = "text/html";
    };

    WindowTest() { show_form(quick_options()); }

    void show_form(TransferOptions options) {
        form = std::make_unique<Form1>(std::move(options));
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    void serve(const std::string& path, Page page) { pages[path] = std::move(page); }

    QPushButton* button(const char* name) const {
        return form->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    QLineEdit* text1() const { return form->findChild<QLineEdit*>(QStringLiteral("Text1")); }
    QPlainTextEdit* text3() const {
        return form->findChild<QPlainTextEdit*>(QStringLiteral("Text3"));
    }
    void type_address(const std::string& address) {
        text1()->clear();
        QTest::keyClicks(text1(), QString::fromStdString(address));
    }
    /// Clicks with the mouse; the watcher answers the message boxes the click brings.
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    /// Lets the event loop run until no fetch runs any more and its notice was answered.
    void wait_for_fetch() {
        ASSERT_TRUE(QTest::qWaitFor([this] { return button("Command1")->isEnabled(); }, 30000));
    }
    void retrieve(const std::string& address) {
        type_address(address);
        click("Command1");
        wait_for_fetch();
    }

    std::map<std::string, Page> pages;
    LocalHttpServer server{[this](const HttpRequest& request, Connection& connection) {
        const auto it = pages.find(request.target);
        if (it == pages.end()) {
            connection.respond(404, "");
        } else {
            connection.respond(it->second.status, it->second.body, it->second.content_type);
        }
    }};
    DialogWatcher watcher;
    std::unique_ptr<Form1> form;
};

}  // namespace marlowin::testing
