#include "window/message_boxes.h"

#include <QMessageBox>
#include <QPushButton>

#include "workflow/transfer_error.h"

namespace marlowin {

namespace {

QString from_utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void MessageBoxes::show(Notice notice) {
    run(QMessageBox::NoIcon, from_utf8(notice_text(notice)), {});
}

void MessageBoxes::show_error(const TransferError& error) {
    run(QMessageBox::Critical,
        QStringLiteral("错误 %1：%2").arg(error.number()).arg(from_utf8(error.description())),
        from_utf8(error.detail()));
}

void MessageBoxes::show_unexpected(const QString& what) {
    run(QMessageBox::Critical, QStringLiteral("发生意外错误，操作未完成。"), what);
}

void MessageBoxes::run(int icon, const QString& text, const QString& details) {
    QMessageBox box(parent_);
    box.setWindowTitle(from_utf8(kApplicationTitle));
    box.setIcon(static_cast<QMessageBox::Icon>(icon));
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    if (!details.isEmpty()) {
        // Smaller words under the main text; escaped, since details may hold markup.
        box.setInformativeText(QStringLiteral("<small>%1</small>").arg(details.toHtmlEscaped()));
    }
    box.setWindowModality(Qt::ApplicationModal);
    QPushButton* ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

}  // namespace marlowin
