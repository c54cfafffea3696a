#include "window/fetch_progress_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "workflow/notice.h"

namespace marlowin {

FetchProgressDialog::FetchProgressDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FetchProgress"));
    setWindowTitle(QString::fromUtf8(kApplicationTitle.data(),
                                     static_cast<qsizetype>(kApplicationTitle.size())));
    setWindowModality(Qt::ApplicationModal);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* layout = new QVBoxLayout(this);
    auto* what = new QLabel(QStringLiteral("正在检索…"), this);
    what->setObjectName(QStringLiteral("Status"));
    layout->addWidget(what);
    auto* bar = new QProgressBar(this);
    bar->setRange(0, 0);  // how much is still to come is not known
    bar->setTextVisible(false);
    layout->addWidget(bar);
    bytes_ = new QLabel(this);
    bytes_->setObjectName(QStringLiteral("Received"));
    layout->addWidget(bytes_);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    set_bytes_received(0);
    setFixedSize(sizeHint().expandedTo(QSize(260, 0)));
}

void FetchProgressDialog::set_bytes_received(std::uint64_t bytes) {
    bytes_->setText(QStringLiteral("已接收 %1 字节")
                        .arg(QLocale(QLocale::Chinese, QLocale::China)
                                 .toString(static_cast<qulonglong>(bytes))));
}

}  // namespace marlowin
