#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/shared/local_http_server.h"
#include "tests/shared/test_setup.h"
#include "window/form1.h"

namespace marlowin::testing {

/// What a message box showed.
struct SeenBox {
    explicit SeenBox(const QMessageBox& box)
        : title(box.windowTitle()),
          text(box.text()),
          informative(box.informativeText()),
          icon(box.icon()),
          application_modal(box.windowModality() == Qt::ApplicationModal) {
        for (const QAbstractButton* button : box.buttons()) {
            buttons << button->text();
        }
    }
    QString title;
    QString text;
    QString informative;
    QMessageBox::Icon icon;
    bool application_modal;
    QStringList buttons;
};

/// Every dialog the window opens passes through here as soon as it shows: a message box is
/// recorded and its button pressed; the progress dialog goes to a callback.
class DialogWatcher : public QObject {
public:
    DialogWatcher() { qApp->installEventFilter(this); }
    ~DialogWatcher() override { qApp->removeEventFilter(this); }
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;

    std::vector<SeenBox> boxes;
    std::function<void(QProgressDialog*)> on_progress;

    [[nodiscard]] QStringList texts() const {
        QStringList all;
        for (const auto& box : boxes) {
            all << box.text;
        }
        return all;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            // Act once the dialog has finished showing (and a modal one runs its own loop).
            QTimer::singleShot(0, this, [this, dialog = QPointer(static_cast<QWidget*>(watched))] {
                if (auto* box = qobject_cast<QMessageBox*>(dialog.data());
                    box && box->isVisible()) {
                    boxes.emplace_back(*box);
                    box->buttons().first()->click();
                } else if (auto* progress = qobject_cast<QProgressDialog*>(dialog.data());
                           progress && progress->isVisible() && on_progress) {
                    on_progress(progress);
                }
            });
        }
        return false;
    }
};

/// A shown Form1, a local server with fixed pages, and the dialog watcher.
class WindowTest : public ::testing::Test {
protected:
    WindowTest() { show_form(quick_options()); }

    /// The window as the program makes it, its transfer component loaded from the module.
    void show_form(TransferOptions options) {
        form = std::make_unique<Form1>(options);
        show();
    }
    /// The window with a transfer component of the test's own making.
    void show_form(std::function<std::unique_ptr<PageFetcher>()> factory) {
        form = std::make_unique<Form1>(std::move(factory));
        show();
    }
    void show() {
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    /// Serves @p body at @p path with status 200; other paths get 404.
    void serve(const std::string& path, std::string body, std::string type = "text/html") {
        const std::lock_guard lock(pages_mutex);
        pages[path] = {std::move(body), std::move(type)};
    }

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

    // Read on the server's threads: the test writes a page before the request that reads it,
    // but only through a socket, which no race detector sees as ordering them.
    std::mutex pages_mutex;
    std::map<std::string, std::pair<std::string, std::string>> pages;  // body, content type
    LocalHttpServer server{[this](const HttpRequest& request, Connection& connection) {
        std::unique_lock lock(pages_mutex);
        const auto it = pages.find(request.target);
        if (it == pages.end()) {
            lock.unlock();
            connection.respond(404, "");
        } else {
            const auto [body, type] = it->second;
            lock.unlock();
            connection.respond(200, body, type);
        }
    }};
    DialogWatcher watcher;
    std::unique_ptr<Form1> form;
};

}  // namespace marlowin::testing
