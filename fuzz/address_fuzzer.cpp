// Typed text through the address parsing: it either refuses the text with a TransferError or
// makes an http(s) URL of printable ASCII that libcurl's own parser accepts as it is.
#include <curl/curl.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "transfer/address.h"
#include "workflow/transfer_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string typed(reinterpret_cast<const char*>(data), size);
    std::string url;
    try {
        url = marlowin::normalize_address(typed);
    } catch (const marlowin::TransferError&) {
        return 0;
    }
    if (!url.starts_with("http://") && !url.starts_with("https://")) {
        std::abort();
    }
    for (const char c : url) {
        if (c <= 0x20 || c >= 0x7F) {
            std::abort();
        }
    }
    const std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parsed(curl_url(), curl_url_cleanup);
    if (curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
        std::abort();
    }
    return 0;
}
