#include "window/background_fetch.h"

#include <QApplication>
#include <QLocale>
#include <QProgressDialog>
#include <QPromise>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <climits>
#include <exception>
#include <utility>

#include "window/qt_text.h"
#include "workflow/notice.h"
#include "workflow/page_fetcher.h"

namespace marlowin {

namespace {

constexpr int kDialogDelayMs = 500;

QString progress_text(int bytes) {
    return QStringLiteral("正在检索…\n已接收 %1 字节")
        .arg(QLocale(QLocale::Chinese, QLocale::China).toString(bytes));
}

// The worker: the document, or the exception that ended the fetch, goes into the promise;
// the bytes received go out as its progress, which Qt passes on a few times a second at most.
// Qt would drop the last count if it came too soon after the one before; made the top of the
// progress range, it always goes out.
void fetch_in_worker(QPromise<BackgroundFetch::Document>& promise, PageFetcher& fetcher,
                     const std::string& address, const std::stop_token& stop) {
    const PageFetcher::Progress progress = [&promise](std::uint64_t bytes, bool all_arrived) {
        const int received = static_cast<int>(std::min<std::uint64_t>(bytes, INT_MAX));
        if (all_arrived) {
            promise.setProgressRange(0, received);
        }
        promise.setProgressValue(received);
    };
    try {
        promise.addResult(std::make_shared<std::string>(fetcher.fetch(address, stop, progress)));
    } catch (...) {
        promise.setException(std::current_exception());
    }
}

}  // namespace

BackgroundFetch::BackgroundFetch(QWidget& window, std::vector<QWidget*> elements)
    : window_(window), elements_(std::move(elements)) {
    worker_.setMaxThreadCount(1);
    QObject::connect(&watcher_, &QFutureWatcherBase::progressValueChanged, &watcher_,
                     [this](int bytes) {
                         if (progress_) {
                             progress_->setLabelText(progress_text(bytes));
                         }
                     });
    QObject::connect(&watcher_, &QFutureWatcherBase::finished, &watcher_, [this] { ended(); });
}

BackgroundFetch::~BackgroundFetch() {
    if (fetcher_ != nullptr) {
        cancel();
        worker_.waitForDone();
        QApplication::restoreOverrideCursor();
    }
}

void BackgroundFetch::start(PageFetcher& fetcher, std::string address, Finished finished) {
    fetcher_ = &fetcher;
    finished_ = std::move(finished);
    stop_ = std::stop_source();
    cancelled_ = false;
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

    watcher_.setFuture(
        QtConcurrent::run(&worker_, [&fetcher, address = std::move(address),
                                     stop = stop_.get_token()](QPromise<Document>& promise) {
            fetch_in_worker(promise, fetcher, address, stop);
        }));
}

void BackgroundFetch::cancel() {
    if (fetcher_ == nullptr || cancelled_) {
        return;
    }
    cancelled_ = true;
    watcher_.cancel();
    stop_.request_stop();
    // The window stays busy until the worker has stopped, which takes moments.
    progress_->cancel();
}

bool BackgroundFetch::stop_within(std::chrono::milliseconds grace) {
    cancel();
    return worker_.waitForDone(static_cast<int>(grace.count()));
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
    // A fetch ends once; a second finished signal, which Qt can send when the worker lets go
    // of its promise, finds nothing left to end.
    if (fetcher_ == nullptr) {
        return;
    }
    if (QApplication::activeWindow() == progress_.get()) {
        window_.activateWindow();  // the person was in the dialog: back to the window
    }
    progress_.reset();
    fetcher_ = nullptr;
    set_busy(false);
    const Finished finished = std::exchange(finished_, nullptr);
    if (!cancelled_) {
        finished(watcher_.future());
    }
}

}  // namespace marlowin
