#pragma once

#include <curl/curl.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "transfer/proxy_route.h"
#include "transfer/response_reader.h"

namespace marlowin {

/// What a request ended with, as libcurl and the reader tell it.
struct RequestFacts {
    CURLcode result;
    std::string_view libcurl_message;  ///< libcurl's error buffer, which may quote addresses
    const ResponseReader& reader;
    const ProxyRoute& route;
    const std::string& url;
    long status = 0;         ///< of the last response
    long tunnel_status = 0;  ///< of the proxy's answer to CONNECT
    std::size_t received = 0;
};

/// Throws the TransferError that names why the request failed, the server's fault or the
/// proxy's; returns when it did not fail. Details quote no user name or password of the
/// address or the proxy setting.
void raise_request_failure(const RequestFacts& facts);

/// @p message with every user name and password of @p url and @p proxy taken out, and any
/// other "scheme://name:password@" it quotes.
[[nodiscard]] std::string without_credentials(std::string_view message, const std::string& url,
                                              const std::string& proxy);

}  // namespace marlowin
