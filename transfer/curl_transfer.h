#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "workflow/transfer.h"

namespace marlowin {

/// Settings of a CurlTransfer; the defaults are the program's.
struct TransferOptions {
    /// Longest wait for a connection.
    std::chrono::milliseconds connect_timeout{std::chrono::seconds(60)};
    /// Longest wait with no byte arriving, once the request is under way.
    std::chrono::milliseconds idle_timeout{std::chrono::seconds(60)};
    /// Largest document accepted, counted after decompression.
    std::size_t max_document_bytes = std::size_t{64} << 20;
    /// Redirects followed before giving up.
    long max_redirects = 20;
    /// A PEM file of trusted certificates instead of the system's store. Verification itself
    /// cannot be switched off.
    std::string ca_file;
};

/// A document as it came off the wire, before decoding.
struct FetchedDocument {
    std::string body;          ///< after content decoding (gzip and the like)
    std::string content_type;  ///< of the final response; empty when the server sent none
    long status = 0;           ///< of the final response
    bool body_is_valid_utf8 = false;
};

/**
 * The HTTP(S) client behind the retrieve action, over libcurl: redirects with cookies kept for
 * the one transfer, compressed responses, proxies from the environment, certificates always
 * verified, and browser-grade decoding of the page into UTF-8.
 *
 * open_url() blocks; it may run on any one thread at a time. cancel() may be called from any
 * other thread and stops a transfer at once.
 */
class CurlTransfer final : public Transfer {
public:
    using ProgressCallback = std::function<void(std::uint64_t bytes_received)>;

    explicit CurlTransfer(TransferOptions options = {});
    ~CurlTransfer() override;
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    /// Sets libcurl up for the whole process; call once before any other thread starts.
    static void global_init();

    void set_protocol(Protocol protocol) override;

    /// Fetches and decodes. Throws TransferError on failure, TransferCancelled after cancel().
    [[nodiscard]] std::string open_url(const std::string& address) override;

    /// Fetches without decoding; the same errors as open_url().
    [[nodiscard]] FetchedDocument fetch(const std::string& address);

    /// Called on the fetching thread with the count of body bytes received so far.
    void set_progress_callback(ProgressCallback callback);

    /// Stops the transfer under way, or the next one if none is. Thread-safe. A cancel stays
    /// in force until reset_cancel().
    void cancel();
    void reset_cancel();

private:
    struct MultiHandle;

    TransferOptions options_;
    Protocol protocol_ = Protocol::Http;
    ProgressCallback progress_;
    std::atomic<bool> cancel_requested_{false};
    std::unique_ptr<MultiHandle> multi_;
};

}  // namespace marlowin
