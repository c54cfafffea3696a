#pragma once

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QProgressDialog>
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
 * watcher records it and presses its button; the progress dialog goes to a callback.
 */
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
        if (event->type() != QEvent::Show || !watched->isWidgetType() ||
            !static_cast<QWidget*>(watched)->isWindow()) {
            return false;
        }
        // Act once the dialog has finished showing (and a modal one runs its own loop).
        QPointer<QWidget> dialog(static_cast<QWidget*>(watched));
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
            } else if (auto* progress = qobject_cast<QProgressDialog*>(dialog.data());
                       progress != nullptr && on_progress) {
                on_progress(progress);
            }
        });
        return false;
    }
};

}  // namespace marlowin::testing
