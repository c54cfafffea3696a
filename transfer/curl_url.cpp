#include "transfer/curl_url.h"

namespace marlowin {

std::optional<CurlUrl> CurlUrl::parse(const std::string& url, unsigned int flags) {
    CurlUrl parsed;
    parsed.flags_ = flags;
    if (!parsed.handle_ || !parsed.set(CURLUPART_URL, url.c_str())) {
        return std::nullopt;
    }
    return parsed;
}

std::optional<std::string> CurlUrl::get(CURLUPart part) const {
    char* text = nullptr;
    if (curl_url_get(handle_.get(), part, &text, 0) != CURLUE_OK || text == nullptr) {
        return std::nullopt;
    }
    const CHandle<char, curl_free> owned(text);
    return std::string(text);
}

bool CurlUrl::set(CURLUPart part, const char* value, unsigned int flags) {
    return curl_url_set(handle_.get(), part, value, flags_ | flags) == CURLUE_OK;
}

}  // namespace marlowin
