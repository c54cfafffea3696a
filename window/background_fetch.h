#pragma once

#include <QFuture>
#include <QFutureWatcher>
#include <QPointer>
#include <QThreadPool>

#include <chrono>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

class QProgressDialog;
class QWidget;

namespace marlowin {

class PageFetcher;

/**
 * Runs the transfer component's fetch on a worker thread while the event loop goes on, so
 * the window keeps painting and its close box keeps working. Meanwhile the window's elements
 * are disabled under a busy cursor, and after half a second a progress dialog shows the
 * bytes received and 取消. 取消, Escape or closing the dialog cancel the fetch, as Qt's
 * progress dialog cancels a QtConcurrent job: the future is cancelled, so its outcome is
 * dropped however far the worker had got, and the fetch's own stop token is requested.
 */
class BackgroundFetch {
public:
    /// The fetched document, shared with the ended future so that it can be moved out of it.
    using Document = std::shared_ptr<std::string>;
    /// Takes the ended fetch: its result() gives the document, or throws what ended it.
    using Finished = std::function<void(QFuture<Document> fetch)>;

    /// @param elements the window's elements, which take no input while a fetch runs
    BackgroundFetch(QWidget& window, std::vector<QWidget*> elements);
    /// Cancels a running fetch and waits for its worker, which uses the fetcher.
    ~BackgroundFetch();
    BackgroundFetch(const BackgroundFetch&) = delete;
    BackgroundFetch& operator=(const BackgroundFetch&) = delete;

    /// Starts fetching @p address. Unless the fetch is cancelled first, @p finished runs on
    /// this thread once it has ended, with the window's elements usable again.
    void start(PageFetcher& fetcher, std::string address, Finished finished);

    /// Cancels the running fetch, if any: nothing of it reaches the window.
    void cancel();

    /// Cancels the running fetch, if any, and waits at most @p grace for its worker to end;
    /// whether it has.
    [[nodiscard]] bool stop_within(std::chrono::milliseconds grace);

private:
    void set_busy(bool busy);
    void ended();

    QWidget& window_;
    std::vector<QWidget*> elements_;
    QPointer<QWidget> focus_;  // where the focus was when the fetch began
    QThreadPool worker_;       // of its own, so that the program can wait for it within a grace
    QFutureWatcher<Document> watcher_;
    std::unique_ptr<QProgressDialog> progress_;
    std::stop_source stop_;           // of the fetch under way
    PageFetcher* fetcher_ = nullptr;  // while a fetch runs
    Finished finished_;
    // Not the future's own canceled state, which Qt also sets for a fetch that ended in an
    // exception.
    bool cancelled_ = false;
};

}  // namespace marlowin
