#include "transfer/page_fetch.h"

#include <optional>

#include "transfer/address.h"
#include "transfer/error_catalogue.h"
#include "workflow/transfer_error.h"

namespace marlowin {

namespace {

// Whether the connection to the proxy itself failed, so that the next route may be tried, as
// browsers do: it could not be found, reached, or its TLS or SOCKS handshake failed, or it
// closed the connection before any answer.
bool proxy_out_of_reach(const TransferError& error) {
    switch (error.number()) {
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_PROXY:
        case static_cast<int>(Failure::ProxyUnreachable):
        case static_cast<int>(Failure::ProxyHandshake):
        case static_cast<int>(Failure::ProxyClosed):
        case static_cast<int>(Failure::ProxyTimeout):
            return true;
        default:
            return false;
    }
}

// One hop, over each route in turn until one reaches its proxy (or goes direct).
RequestEnd request(const std::string& url, const ProxyRoutes& routes, Retrieval& retrieval,
                   CURLM* multi) {
    for (std::size_t i = 0;; ++i) {
        try {
            CurlRequest hop(retrieval, url, routes[i]);
            return hop.run(multi);
        } catch (const TransferError& error) {
            if (i + 1 == routes.size() || !proxy_out_of_reach(error)) {
                throw;
            }
        }
    }
}

}  // namespace

FetchedDocument fetch_document(std::string url, Retrieval& retrieval, CURLM* multi) {
    RouteChooser chooser;
    for (long redirects = 0;; ++redirects) {
        const ProxyRoutes routes = chooser.routes_for(url, retrieval.stop);
        RequestEnd end = request(url, routes, retrieval, multi);
        if (!end.location) {
            if (retrieval.progress) {
                retrieval.progress(retrieval.received, true);
            }
            return std::move(end.document);
        }
        if (redirects == retrieval.options.max_redirects) {
            fail_curl(
                CURLE_TOO_MANY_REDIRECTS,
                "more than " + std::to_string(retrieval.options.max_redirects) + " redirects");
        }
        url = next_address(url, *end.location);
    }
}

}  // namespace marlowin
