#pragma once

#include <curl/curl.h>

#include <memory>
#include <string>
#include <vector>

#include "transfer/curl_request.h"

namespace marlowin::testing {

/// A test's own options for each request, through libcurl's own: host names answered on
/// 127.0.0.1 without DNS ("name:port:address", as curl's --resolve) and a CA file to trust
/// instead of the system's store.
inline RequestCustomizer test_requests(const std::vector<std::string>& fixed_addresses,
                                       const std::string& ca_file = {}) {
    curl_slist* list = nullptr;
    for (const std::string& entry : fixed_addresses) {
        list = curl_slist_append(list, entry.c_str());  // extends the list in place
    }
    const std::shared_ptr<curl_slist> resolve(list, curl_slist_free_all);
    return [resolve, ca_file](CURL* easy) {
        if (resolve) {
            curl_easy_setopt(easy, CURLOPT_RESOLVE, resolve.get());
        }
        if (!ca_file.empty()) {
            curl_easy_setopt(easy, CURLOPT_CAINFO, ca_file.c_str());
            curl_easy_setopt(easy, CURLOPT_PROXY_CAINFO, ca_file.c_str());
        }
    };
}

}  // namespace marlowin::testing
