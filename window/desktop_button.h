#pragma once

#include <QPushButton>

namespace marlowin {

/// A push button that, like a Windows button, is clicked by Enter as well as by Space when it
/// has the focus, without being a dialog's default button.
class DesktopButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace marlowin
