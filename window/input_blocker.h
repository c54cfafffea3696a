#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace marlowin {

/// While active, swallows mouse, key and wheel input meant for one window, so its elements
/// take no clicks or keys; everything else (painting, closing, other windows such as the
/// progress dialog) goes on. Installed on the application while it exists.
class InputBlocker : public QObject {
    Q_OBJECT
public:
    InputBlocker(QWidget& window, std::function<bool()> active);
    ~InputBlocker() override;
    InputBlocker(const InputBlocker&) = delete;
    InputBlocker& operator=(const InputBlocker&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window_;
    std::function<bool()> active_;
};

}  // namespace marlowin
