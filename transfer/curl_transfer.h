#pragma once

#include <memory>
#include <stop_token>
#include <string>

#include "transfer/page_fetcher.h"

namespace marlowin {

/// A document as it came off the wire, before decoding.
struct FetchedDocument {
    std::string body;          ///< after content decoding (gzip and the like)
    std::string content_type;  ///< of the final response; empty when the server sent none
    bool body_is_valid_utf8 = false;
};

/**
 * The HTTP(S) client behind the retrieve action, over libcurl: redirects with cookies kept for
 * the one transfer, compressed responses, proxies from the environment, certificates always
 * verified, and browser-grade decoding of the page into UTF-8.
 *
 * open_url() blocks; it may run on any one thread at a time. cancel() may be called from any
 * other thread and stops a transfer at once, also while its page is being decoded.
 */
class CurlTransfer final : public PageFetcher {
public:
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

    void set_progress_callback(ProgressCallback callback) override;
    void cancel() override;
    void reset_cancel() override;

private:
    struct MultiHandle;

    TransferOptions options_;
    Protocol protocol_ = Protocol::Http;
    ProgressCallback progress_;
    std::stop_source stop_;
    std::unique_ptr<MultiHandle> multi_;
};

}  // namespace marlowin
