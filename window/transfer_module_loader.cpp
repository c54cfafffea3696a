#include "window/transfer_module_loader.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include "workflow/transfer_error.h"

namespace marlowin {

namespace {

// Where the module may be, always relative to the executable, never a place that existed
// only where the program was built: lib/marlowin beside bin (installed, and the build
// tree, which has the same layout), or beside the executable itself (Windows).
QStringList module_candidates() {
    const QDir here(QCoreApplication::applicationDirPath());
    const QString name = QStringLiteral("marlowin-transfer");
    return {here.filePath(QStringLiteral("../lib/marlowin/") + name), here.filePath(name)};
}

}  // namespace

TransferModuleLoader::TransferModuleLoader(TransferOptions options) : options_(options) {}

TransferModuleLoader::TransferModuleLoader(Factory factory) : factory_(std::move(factory)) {}

void TransferModuleLoader::start() {
    if (!factory_ && !loading_.valid() && !library_.isLoaded() && failure_.empty()) {
        loading_ = std::async(std::launch::async, [this] { load(); });
    }
}

TransferModuleLoader::~TransferModuleLoader() {
    if (loading_.valid()) {
        loading_.wait();
    }
    // The module stays loaded: its libraries may keep threads and handlers until exit.
}

// On the worker: only the loading, which is what takes long.
void TransferModuleLoader::load() {
    QString errors;
    for (const QString& candidate : module_candidates()) {
        library_.setFileName(candidate);
        if (library_.load()) {
            break;
        }
        errors += library_.errorString() + QLatin1Char('\n');
    }
    if (!library_.isLoaded()) {
        failure_ = errors.toStdString();
        return;
    }
    create_ = reinterpret_cast<CreatePageFetcher*>(library_.resolve(kCreatePageFetcherSymbol));
    if (create_ == nullptr) {
        failure_ = library_.errorString().toStdString();
    }
}

// On the thread that asks, the window's: the fetcher's making sets libcurl up, which wants the
// main thread. Its errors are TransferErrors of the one type both sides share.
PageFetcher& TransferModuleLoader::fetcher() {
    if (factory_ && !fetcher_) {
        fetcher_ = factory_();
    }
    start();
    if (loading_.valid()) {
        loading_.get();
    }
    if (!fetcher_ && create_ != nullptr) {
        create_(options_, fetcher_);
    }
    if (!fetcher_) {
        throw TransferError(kComponentMissing, std::string(kComponentMissingText), failure_);
    }
    return *fetcher_;
}

}  // namespace marlowin
