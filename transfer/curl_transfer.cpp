#include "transfer/curl_transfer.h"

#include "decoding/decoding_error.h"
#include "transfer/address.h"
#include "transfer/error_catalogue.h"
#include "transfer/page_fetch.h"
#include "workflow/transfer_error.h"

namespace marlowin {

namespace {

// libcurl is set up once for the whole process, by the first fetcher made.
void set_up_libcurl() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (const CURLcode code = curl_global_init(CURL_GLOBAL_DEFAULT); code != CURLE_OK) {
            fail_curl(code, "curl_global_init failed");
        }
    });
}

// The page's text, with decoding's own outcomes told as the transfer's.
DecodedPage decode(FetchedDocument&& document, const std::stop_token& stop) {
    try {
        return decode_html_bytes(std::move(document.body), document.content_type,
                                 document.body_is_valid_utf8, stop);
    } catch (const DecodingCancelled&) {
        throw TransferCancelled();
    } catch (const DecodingError& error) {
        fail(Failure::CannotDecode, error.what());
    }
}

}  // namespace

CurlTransfer::CurlTransfer(TransferOptions options, RequestCustomizer customize)
    : options_(options), customize_(std::move(customize)) {
    set_up_libcurl();
    multi_.reset(curl_multi_init());
    if (!multi_) {
        fail_curl(CURLE_FAILED_INIT, "curl_multi_init failed");
    }
}

std::string CurlTransfer::fetch(const std::string& address, std::stop_token stop,
                                const Progress& progress) {
    return fetch_page(address, stop, progress).text;
}

DecodedPage CurlTransfer::fetch_page(const std::string& address, const std::stop_token& stop,
                                     const Progress& progress) {
    if (stop.stop_requested()) {
        throw TransferCancelled();
    }
    // A cancel wakes the wait for the network at once.
    const std::stop_callback wake(stop, [multi = multi_.get()] { curl_multi_wakeup(multi); });
    const CHandle<CURLSH, curl_share_cleanup> cookies(curl_share_init());
    if (!cookies ||
        curl_share_setopt(cookies.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE) != CURLSHE_OK) {
        fail_curl(CURLE_FAILED_INIT, "cannot make a cookie jar");
    }
    Retrieval retrieval{options_, stop, progress, cookies.get(), customize_};
    FetchedDocument document = fetch_document(normalize_address(address), retrieval, multi_.get());
    DecodedPage page = decode(std::move(document), stop);
    // A cancel that came after the last byte still counts.
    if (stop.stop_requested()) {
        throw TransferCancelled();
    }
    return page;
}

}  // namespace marlowin
