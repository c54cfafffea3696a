#pragma once

#include <QDialog>

#include <cstdint>

class QLabel;

namespace marlowin {

/// Shown while a slow fetch runs: "正在检索…", the bytes received so far, and 取消. Closing
/// it, Escape and 取消 all mean cancel (the dialog is rejected).
class FetchProgressDialog : public QDialog {
    Q_OBJECT
public:
    explicit FetchProgressDialog(QWidget* parent);

    void set_bytes_received(std::uint64_t bytes);

private:
    QLabel* bytes_;
};

}  // namespace marlowin
