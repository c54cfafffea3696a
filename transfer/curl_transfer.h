#pragma once

#include <curl/curl.h>

#include <stop_token>
#include <string>

#include "decoding/c_handle.h"
#include "decoding/html_decoding.h"
#include "workflow/page_fetcher.h"

namespace marlowin {

/// A document as it came off the wire, before decoding.
struct FetchedDocument {
    std::string body;          ///< after content decoding (gzip and the like)
    std::string content_type;  ///< of the final response; empty when the server sent none
    bool body_is_valid_utf8 = false;
};

/**
 * The HTTP(S) client behind the retrieve action, over libcurl: redirects with cookies kept for
 * the one transfer and no Referer, compressed responses, the proxy the person's system names
 * for each address (see choose_proxy_route),
 * certificates always verified, and browser-grade decoding of the page into UTF-8.
 *
 * open_url() blocks; it may run on any one thread at a time. cancel() may be called from any
 * other thread and stops a transfer at once, in whatever phase it is: name lookup, connection,
 * transfer, or the scans and decoding of its page.
 */
class CurlTransfer final : public PageFetcher {
public:
    explicit CurlTransfer(TransferOptions options = {});
    ~CurlTransfer() override;
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    /// Sets libcurl up for the whole process; the constructor calls it, and so may a program
    /// that wants it done at a time of its choosing.
    static void global_init();

    void set_protocol(Protocol protocol) override;

    /// Fetches and decodes. Throws TransferError on failure, TransferCancelled after cancel().
    [[nodiscard]] std::string open_url(const std::string& address) override;

    /// The same, also saying which encoding was read and what decided it.
    [[nodiscard]] DecodedPage open_page(const std::string& address);

    void set_progress_callback(ProgressCallback callback) override;
    void cancel() override;
    void reset_cancel() override;

private:
    [[nodiscard]] FetchedDocument fetch(const std::string& address, const std::stop_token& stop);
    [[nodiscard]] static DecodedPage decode(FetchedDocument&& document,
                                            const std::stop_token& stop);

    TransferOptions options_;
    ProgressCallback progress_;
    std::stop_source stop_;
    CHandle<CURLM, curl_multi_cleanup> multi_;  // made once libcurl is set up
};

}  // namespace marlowin
