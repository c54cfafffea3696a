#include "window/input_blocker.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace marlowin {

InputBlocker::InputBlocker(QWidget& window, std::function<bool()> active)
    : window_(window), active_(std::move(active)) {
    qApp->installEventFilter(this);
}

InputBlocker::~InputBlocker() {
    qApp->removeEventFilter(this);
}

bool InputBlocker::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType() || !active_()) {
        return false;
    }
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::InputMethod:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            return static_cast<QWidget*>(watched)->window() == &window_;
        default:
            return false;
    }
}

}  // namespace marlowin
