#pragma once

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
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
 * Every dialog the window opens passes through here: as soon as a message box is shown, the
 * watcher records its title, text, icon and buttons and presses its button; any other dialog
 * (the progress dialog) goes to a callback.
 */
class DialogWatcher : public QObject {
public:
    DialogWatcher() { qApp->installEventFilter(this); }
    ~DialogWatcher() override { qApp->removeEventFilter(this); }
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;

    std::vector<SeenBox> boxes;
    std::function<void(QWidget*)> on_other_dialog;

    [[nodiscard]] QStringList texts() const {
        QStringList all;
        for (const auto& box : boxes) {
            all << box.text;
        }
        return all;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show || !watched->isWidgetType()) {
            return false;
        }
        auto* widget = static_cast<QWidget*>(watched);
        if (!widget->isWindow() || !widget->isModal()) {
            return false;
        }
        // Act once the dialog has finished showing and its own event loop runs.
        QPointer<QWidget> dialog(widget);
        QTimer::singleShot(0, this, [this, dialog] {
            if (!dialog || !dialog->isVisible()) {
                return;
            }
            if (auto* box = qobject_cast<QMessageBox*>(dialog.data())) {
                SeenBox seen{
                    box->windowTitle(), box->text(), box->informativeText(),
                    box->icon(),        {},          box->windowModality() == Qt::ApplicationModal};
                for (QAbstractButton* button : box->buttons()) {
                    seen.buttons << button->text();
                }
                boxes.push_back(seen);
                box->buttons().first()->click();
            } else if (on_other_dialog) {
                on_other_dialog(dialog.data());
            }
        });
        return false;
    }
};

}  // namespace marlowin::testing
