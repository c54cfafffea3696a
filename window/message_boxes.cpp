#include "window/message_boxes.h"

#include <QMessageBox>
#include <QPushButton>

#include "window/qt_text.h"
#include "workflow/transfer_error.h"

namespace marlowin {

namespace {

// Details may echo megabytes (a pasted address, a server's words); a message box shows
// their beginning, never cutting a character in two.
QString shortened(const QString& text) {
    constexpr qsizetype kMost = 200;
    if (text.size() <= kMost) {
        return text;
    }
    return text.left(text[kMost - 1].isHighSurrogate() ? kMost - 1 : kMost) + QStringLiteral("…");
}

}  // namespace

void MessageBoxes::show(Notice notice) {
    run(QMessageBox::NoIcon, to_qstring(notice_text(notice)), {});
}

void MessageBoxes::show_error(const TransferError& error) {
    run(QMessageBox::Critical,
        QStringLiteral("错误 %1：%2").arg(error.number()).arg(to_qstring(error.description())),
        to_qstring(error.detail()));
}

void MessageBoxes::show_unexpected(const QString& what) {
    run(QMessageBox::Critical, QStringLiteral("发生意外错误，操作未完成。"), what);
}

void MessageBoxes::run(int icon, const QString& text, const QString& details) {
    QMessageBox box(parent_);
    box.setWindowTitle(to_qstring(kApplicationTitle));
    box.setIcon(static_cast<QMessageBox::Icon>(icon));
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    if (!details.isEmpty()) {
        // Smaller words under the main text; escaped, since details may hold markup.
        box.setInformativeText(
            QStringLiteral("<small>%1</small>").arg(shortened(details).toHtmlEscaped()));
    }
    box.setWindowModality(Qt::ApplicationModal);
    QPushButton* ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

}  // namespace marlowin
