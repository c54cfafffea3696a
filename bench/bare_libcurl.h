#pragma once

#include <curl/curl.h>

#include <memory>
#include <string>

namespace marlowin::bench {

/// The baseline of the fetch benchmarks: libcurl alone fetching a URL into memory, as its
/// getinmemory example does, with nothing decoded or checked.
inline std::string bare_libcurl_fetch(const std::string& url) {
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> easy(curl_easy_init(),
                                                                   curl_easy_cleanup);
    std::string body;
    curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(
        easy.get(), CURLOPT_WRITEFUNCTION,
        +[](char* data, std::size_t size, std::size_t count, void* user) -> std::size_t {
            static_cast<std::string*>(user)->append(data, size * count);
            return size * count;
        });
    curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &body);
    curl_easy_perform(easy.get());
    return body;
}

}  // namespace marlowin::bench
