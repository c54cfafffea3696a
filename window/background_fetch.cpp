#include "window/background_fetch.h"

#include <QApplication>
#include <QLocale>
#include <QProgressDialog>
#include <QtConcurrent/QtConcurrentRun>

#include <utility>

#include "transfer/page_fetcher.h"
#include "window/qt_text.h"
#include "workflow/notice.h"

namespace marlowin {

namespace {

constexpr int kDialogDelayMs = 500;
constexpr int kProgressIntervalMs = 100;

QString progress_text(std::uint64_t bytes) {
    return QStringLiteral("正在检索…\n已接收 %1 字节")
        .arg(QLocale(QLocale::Chinese, QLocale::China).toString(static_cast<qulonglong>(bytes)));
}

}  // namespace

BackgroundFetch::BackgroundFetch(QWidget& window, std::vector<QWidget*> elements)
    : window_(window), elements_(std::move(elements)) {
    QObject::connect(&watcher_, &QFutureWatcherBase::finished, &watcher_, [this] { ended(); });
    QObject::connect(&progress_timer_, &QTimer::timeout, &progress_timer_, [this] {
        if (progress_) {
            progress_->setLabelText(progress_text(received_.load()));
        }
    });
}

BackgroundFetch::~BackgroundFetch() {
    if (fetcher_ != nullptr) {
        cancel();
        watcher_.waitForFinished();
        fetcher_->set_progress_callback({});
        QApplication::restoreOverrideCursor();
    }
}

void BackgroundFetch::start(PageFetcher& fetcher, std::string address, Finished finished) {
    fetcher_ = &fetcher;
    finished_ = std::move(finished);
    cancelled_ = false;
    received_.store(0);
    fetcher.reset_cancel();
    fetcher.set_progress_callback([this](std::uint64_t bytes) { received_.store(bytes); });
    set_busy(true);

    progress_ = std::make_unique<QProgressDialog>(&window_);
    progress_->setWindowTitle(to_qstring(kApplicationTitle));
    // Not modal: a modal dialog would keep the window's close box from working.
    progress_->setWindowModality(Qt::NonModal);
    progress_->setCancelButtonText(QStringLiteral("取消"));
    progress_->setLabelText(progress_text(0));
    progress_->setRange(0, 0);  // how much is still to come is not known
    progress_->setAutoReset(false);
    progress_->setAutoClose(false);
    progress_->setMinimumDuration(kDialogDelayMs);
    progress_->setValue(0);  // starts the clock that shows the dialog
    QObject::connect(progress_.get(), &QProgressDialog::canceled, progress_.get(),
                     [this] { cancel(); });
    progress_timer_.start(kProgressIntervalMs);

    watcher_.setFuture(QtConcurrent::run([&fetcher, address = std::move(address)] {
        FetchOutcome outcome;
        try {
            outcome.document = fetcher.open_url(address);
        } catch (...) {
            outcome.failure = std::current_exception();
        }
        return outcome;
    }));
}

void BackgroundFetch::cancel() {
    if (fetcher_ == nullptr || cancelled_) {
        return;
    }
    cancelled_ = true;
    fetcher_->cancel();
    // The window stays busy until the worker has stopped, which takes moments.
    progress_->cancel();
}

void BackgroundFetch::set_busy(bool busy) {
    if (busy) {
        focus_ = window_.focusWidget();
        QApplication::setOverrideCursor(Qt::BusyCursor);
    }
    for (QWidget* element : elements_) {
        element->setEnabled(!busy);
    }
    if (!busy) {
        QApplication::restoreOverrideCursor();
        if (focus_) {
            focus_->setFocus();
        }
    }
}

void BackgroundFetch::ended() {
    FetchOutcome outcome = watcher_.future().takeResult();
    progress_timer_.stop();
    if (QApplication::activeWindow() == progress_.get()) {
        window_.activateWindow();  // the person was in the dialog: back to the window
    }
    progress_.reset();
    fetcher_->set_progress_callback({});
    fetcher_ = nullptr;
    set_busy(false);
    const Finished finished = std::exchange(finished_, nullptr);
    if (!cancelled_) {
        finished(std::move(outcome));
    }
}

}  // namespace marlowin
