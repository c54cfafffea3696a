#pragma once

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <vector>

namespace marlowin::testing {

/// What a message box showed.
struct SeenBox {
    QString title;
    QString text;
    QString informative;
    QMessageBox::Icon icon;
    QStringList buttons;
    bool application_modal;
};

/**
 * Every modal dialog the window opens passes through here: the watcher looks for the active
 * modal widget every few milliseconds, records a message box's title, text, icon and buttons
 * and presses its button, and hands any other dialog (the progress dialog) to a callback.
 */
class DialogWatcher : public QObject {
public:
    DialogWatcher() {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, &DialogWatcher::poll);
        timer_.start();
    }

    std::vector<SeenBox> boxes;
    std::function<void(QWidget*)> on_other_dialog;

    [[nodiscard]] QStringList texts() const {
        QStringList all;
        for (const auto& box : boxes) {
            all << box.text;
        }
        return all;
    }

private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible()) {
            return;
        }
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            SeenBox seen{box->windowTitle(), box->text(), box->informativeText(), box->icon(), {},
                         box->windowModality() == Qt::ApplicationModal};
            for (QAbstractButton* button : box->buttons()) {
                seen.buttons << button->text();
            }
            boxes.push_back(seen);
            box->buttons().first()->click();
        } else if (on_other_dialog) {
            on_other_dialog(modal);
        }
    }

    QTimer timer_;
};

}  // namespace marlowin::testing
