#pragma once

#include <curl/curl.h>

#include <mutex>
#include <stop_token>
#include <string>

#include "base/c_handle.h"
#include "decoding/html_decoding.h"
#include "transfer/curl_request.h"
#include "workflow/page_fetcher.h"

namespace marlowin {

/**
 * The HTTP(S) client behind the retrieve action, over libcurl: redirects with cookies kept for
 * the one retrieval and no Referer, compressed responses, the proxy the person's system names
 * for each address, certificates always verified, and browser-grade decoding of the page into
 * UTF-8.
 *
 * fetch() blocks; it may run on any one thread at a time. Its stop token may be requested from
 * any other thread and stops it at once, in whatever phase it is: the proxy's choice, name
 * lookup, connection, transfer, or the scans and decoding of its page.
 */
class CurlTransfer final : public PageFetcher {
public:
    /// @p customize: options of a program's own for each request (see RequestCustomizer).
    explicit CurlTransfer(TransferOptions options = {}, RequestCustomizer customize = {});

    /// Only HTTP and HTTPS are ever fetched, whatever is selected.
    void set_protocol(Protocol /*protocol*/) override {}

    /// Fetches and decodes. Throws TransferError on failure, TransferCancelled once stopped.
    [[nodiscard]] std::string fetch(const std::string& address, std::stop_token stop,
                                    const Progress& progress) override;

    /// The same, also saying which encoding was read and what decided it.
    [[nodiscard]] DecodedPage fetch_page(const std::string& address,
                                         const std::stop_token& stop = {},
                                         const Progress& progress = {});

private:
    TransferOptions options_;
    RequestCustomizer customize_;
    CHandle<CURLM, curl_multi_cleanup> multi_;  // made once libcurl is set up
};

}  // namespace marlowin
