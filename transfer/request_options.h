#pragma once

#include <curl/curl.h>

#include <string>

#include "base/c_handle.h"
#include "transfer/proxy_route.h"
#include "workflow/page_fetcher.h"

namespace marlowin {

/// The HTTP version a request asks for, decided by the libcurl running: HTTP/2 over TLS, as
/// browsers speak it, from 8.13 on; HTTP/1.1 before, as older libcurl stalls on an HTTP/2
/// header block over its 100 KB limit until the server gives up (curl issue 16535), where
/// HTTP/1.1 ends in the error that says so.
[[nodiscard]] long preferred_http_version(const curl_version_info_data& curl);

/// Marlowin's options for one request to @p url over @p route on @p easy: what it asks for and
/// accepts, cookies from @p cookies, no redirects of libcurl's own, a connection of its own,
/// certificates always verified, and the proxy chosen. @p headers receives the request headers
/// the handle uses, which must outlive it. Throws TransferError when libcurl refuses one.
void set_request_options(CURL* easy, const std::string& url, const ProxyRoute& route,
                         const TransferOptions& options, CURLSH* cookies,
                         CHandle<curl_slist, curl_slist_free_all>& headers);

}  // namespace marlowin
