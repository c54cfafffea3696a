#pragma once

#include <QPointer>

#include <atomic>
#include <cstdint>
#include <string>

#include "workflow/transfer.h"

class QWidget;

namespace marlowin {

class TransferModuleLoader;

/**
 * Inet1 as the window uses it: open_url() still returns only when the fetch has ended, as the
 * retrieve action expects, but the fetch itself runs on a worker thread while the window's
 * event loop goes on, so the window keeps painting. The window takes no clicks or keys
 * meanwhile (see InputBlocker); after half a second a progress dialog offers 取消, which ends
 * open_url() with TransferCancelled.
 */
class BackgroundTransfer final : public Transfer {
public:
    BackgroundTransfer(TransferModuleLoader& module, QWidget* window);

    void set_protocol(Protocol protocol) override { protocol_ = protocol; }
    [[nodiscard]] std::string open_url(const std::string& address) override;

    /// Stops a running fetch (open_url() then throws TransferCancelled). GUI thread only.
    void cancel();
    [[nodiscard]] bool busy() const { return busy_; }

private:
    TransferModuleLoader& module_;
    Protocol protocol_ = Protocol::Http;
    QPointer<QWidget> window_;
    std::atomic<std::uint64_t> received_{0};
    bool busy_ = false;
};

}  // namespace marlowin
