#pragma once

#include <curl/curl.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

#include "base/c_handle.h"
#include "transfer/proxy_route.h"
#include "transfer/response_reader.h"
#include "workflow/page_fetcher.h"

namespace marlowin {

/// A program's own options for each request's handle, set after Marlowin's: how a test trusts
/// its own certificate or answers a name on 127.0.0.1. The product sets none.
using RequestCustomizer = std::function<void(CURL* easy)>;

/// What the requests of one retrieval share.
struct Retrieval {
    const TransferOptions& options;
    std::stop_token stop;
    const PageFetcher::Progress& progress;
    CURLSH* cookies;  ///< the jar its hops share
    const RequestCustomizer& customize;
    std::size_t received = 0;  ///< bytes of every request so far, for the progress counts
};

/// What one request ended with: the document, or where its redirect leads (as sent).
struct RequestEnd {
    std::optional<std::string> location;
    FetchedDocument document;
};

/**
 * One HTTP request on an easy handle of its own: libcurl's options set for it, driven to its
 * end on the retrieval's multi handle while the silence clock and the cancel are watched, and
 * its outcome told as a document, a redirect, or the TransferError that names the cause.
 */
class CurlRequest {
public:
    CurlRequest(Retrieval& retrieval, std::string url, ProxyRoute route);

    /// Runs the request to its end. Throws TransferError or TransferCancelled.
    RequestEnd run(CURLM* multi);

    [[nodiscard]] const std::string& url() const { return url_; }

private:
    using Clock = std::chrono::steady_clock;

    CURLcode drive(CURLM* multi);
    void count_arrivals();
    void note_unread(CURLM* multi);
    ResponseHead read_head();
    static std::size_t on_header(char* line, std::size_t size, std::size_t count, void* user);
    static std::size_t on_body(char* data, std::size_t size, std::size_t count, void* user);

    Retrieval& retrieval_;
    std::string url_;
    ProxyRoute route_;
    CHandle<CURL, curl_easy_cleanup> easy_{curl_easy_init()};
    CHandle<curl_slist, curl_slist_free_all> headers_;
    char error_buffer_[CURL_ERROR_SIZE] = {};
    ResponseReader reader_;
    // Bytes seen arriving: unread on the socket at each wake-up, or counted by libcurl.
    std::size_t raw_seen_;
    std::size_t left_unread_ = 0;
    std::size_t received_;  // by this request and those before it
    Clock::time_point last_arrival_ = Clock::now();
    bool cancelled_ = false;
};

}  // namespace marlowin
