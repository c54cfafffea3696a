#pragma once

#include <QString>

#include "workflow/notice.h"

class QWidget;

namespace marlowin {

class TransferError;

/// Every message box of the program comes from here: titled "Marlowin", application-modal,
/// one button reading "确定", and returning when that button has been pressed.
class MessageBoxes final : public NoticeSink {
public:
    explicit MessageBoxes(QWidget* parent) : parent_(parent) {}

    /// A notice: no icon, one of the fixed texts.
    void show(Notice notice) override;

    /// The report of a failed fetch: the error's number and description, the technical
    /// detail in smaller words below.
    void show_error(const TransferError& error);

    /// The report of any other failure inside an action.
    void show_unexpected(const QString& what);

private:
    void run(int icon, const QString& text, const QString& details);

    QWidget* parent_;
};

}  // namespace marlowin
