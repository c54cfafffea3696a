#include "transfer/proxy_helper/pac_download.h"

#include <curl/curl.h>

#include "base/c_handle.h"

namespace marlowin::proxy_helper {

namespace {

std::size_t keep(char* data, std::size_t size, std::size_t count, void* user) {
    auto& script = *static_cast<std::string*>(user);
    const std::size_t n = size * count;
    if (n > kMaxPacBytes - script.size()) {
        return CURL_WRITEFUNC_ERROR;  // past the cap: give up at once
    }
    script.append(data, n);
    return n;
}

}  // namespace

std::optional<std::string> download_pac(const std::string& url) {
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        return std::nullopt;
    }
    const CHandle<CURL, curl_easy_cleanup> easy(curl_easy_init());
    std::string script;
    CURL* e = easy.get();
    const bool set_up =
        e != nullptr && curl_easy_setopt(e, CURLOPT_URL, url.c_str()) == CURLE_OK &&
        curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https,file") == CURLE_OK &&
        curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK &&
        curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
        curl_easy_setopt(e, CURLOPT_MAXREDIRS, 5L) == CURLE_OK &&
        curl_easy_setopt(e, CURLOPT_PROXY, "") == CURLE_OK &&
        curl_easy_setopt(e, CURLOPT_NOPROXY, "*") == CURLE_OK &&
        curl_easy_setopt(e, CURLOPT_FAILONERROR, 1L) == CURLE_OK &&
        curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
        curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "") == CURLE_OK &&
        curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxPacBytes)) ==
            CURLE_OK &&
        curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, keep) == CURLE_OK &&
        curl_easy_setopt(e, CURLOPT_WRITEDATA, &script) == CURLE_OK;
    if (!set_up || curl_easy_perform(e) != CURLE_OK) {
        return std::nullopt;
    }
    return script;
}

}  // namespace marlowin::proxy_helper
