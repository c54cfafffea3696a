#pragma once

#include <QLibrary>

#include <functional>
#include <future>
#include <memory>
#include <string>

#include "workflow/page_fetcher.h"

namespace marlowin {

/**
 * The transfer component lives in a module of its own (libcurl, ICU and uchardet with all
 * they link), loaded on a worker thread once the window is on screen instead of before the
 * program starts: the window appears without waiting for the network stack (linked directly,
 * it is mapped about 12 ms later, a fifth of its start-up). The types both sides use,
 * TransferError among them, live once, in the shared workflow library.
 */
class TransferModuleLoader {
public:
    /// Makes a fetcher of a program's own instead of loading the module: how a test puts a
    /// fetcher of its own making behind the window.
    using Factory = std::function<std::unique_ptr<PageFetcher>()>;

    explicit TransferModuleLoader(TransferOptions options);
    explicit TransferModuleLoader(Factory factory);
    ~TransferModuleLoader();
    TransferModuleLoader(const TransferModuleLoader&) = delete;
    TransferModuleLoader& operator=(const TransferModuleLoader&) = delete;

    /// Starts loading the module on a worker thread, if that has not begun yet.
    void start();

    /// The fetcher, once the module is loaded (loads it or waits for it if need be), made on
    /// the calling thread the first time. Throws TransferError when the module cannot be
    /// loaded or the fetcher not made.
    PageFetcher& fetcher();

private:
    void load();

    TransferOptions options_;
    Factory factory_;
    QLibrary library_;
    CreatePageFetcher* create_ = nullptr;
    std::unique_ptr<PageFetcher> fetcher_;
    std::string failure_;
    std::future<void> loading_;
};

}  // namespace marlowin
