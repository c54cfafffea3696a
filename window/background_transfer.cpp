#include "window/background_transfer.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <exception>
#include <thread>

#include "window/fetch_progress_dialog.h"
#include "window/transfer_module_loader.h"
#include "workflow/transfer_error.h"

namespace marlowin {

namespace {

constexpr int kDialogDelayMs = 500;
constexpr int kProgressIntervalMs = 100;

// Restores the cursor and the busy flag however open_url() ends.
class BusyScope {
public:
    explicit BusyScope(bool& busy) : busy_(busy) {
        busy_ = true;
        QApplication::setOverrideCursor(Qt::BusyCursor);
    }
    ~BusyScope() {
        QApplication::restoreOverrideCursor();
        busy_ = false;
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& busy_;
};

}  // namespace

BackgroundTransfer::BackgroundTransfer(TransferModuleLoader& module, QWidget* window)
    : module_(module), window_(window) {}

void BackgroundTransfer::cancel() {
    if (busy_) {
        module_.fetcher().cancel();
    }
}

std::string BackgroundTransfer::open_url(const std::string& address) {
    PageFetcher& inner = module_.fetcher();
    BusyScope busy(busy_);
    inner.set_protocol(protocol_);
    inner.set_progress_callback([this](std::uint64_t bytes) { received_.store(bytes); });
    inner.reset_cancel();
    received_.store(0);

    QEventLoop loop;
    std::atomic<bool> finished{false};
    std::string document;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            document = inner.open_url(address);
        } catch (...) {
            failure = std::current_exception();
        }
        finished.store(true);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // However this function is left, the worker is stopped and joined before what it uses goes.
    struct StopWorker {
        std::thread& worker;
        PageFetcher& fetcher;
        ~StopWorker() {
            if (worker.joinable()) {
                fetcher.cancel();
                worker.join();
            }
        }
    } stop_worker{worker, inner};

    FetchProgressDialog dialog(window_);
    QObject::connect(&dialog, &QDialog::rejected, &dialog, [&inner] { inner.cancel(); });
    QTimer show_later;
    show_later.setSingleShot(true);
    QObject::connect(&show_later, &QTimer::timeout, &dialog, [&] {
        if (!finished.load() && window_ && window_->isVisible()) {
            dialog.show();
        }
    });
    show_later.start(kDialogDelayMs);
    QTimer progress;
    QObject::connect(&progress, &QTimer::timeout, &dialog,
                     [&] { dialog.set_bytes_received(received_.load()); });
    progress.start(kProgressIntervalMs);

    if (!finished.load()) {
        loop.exec();
    }
    // The loop also ends when the application quits; the fetch must not outlive the action.
    if (!finished.load()) {
        inner.cancel();
    }
    worker.join();
    dialog.hide();

    if (failure) {
        std::rethrow_exception(failure);
    }
    return document;
}

}  // namespace marlowin
