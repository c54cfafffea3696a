#pragma once

#include <curl/curl.h>

#include <string>

#include "transfer/curl_request.h"

namespace marlowin {

/**
 * Fetches the document at @p url (as normalize_address() makes it): each redirect followed as
 * a typed address would be, up to the retrieval's limit, each hop on the route the system
 * names for it, and a proxy that cannot be reached left for the next route its PAC script
 * names. Throws TransferError for the last fault, TransferCancelled once stopped.
 */
[[nodiscard]] FetchedDocument fetch_document(std::string url, Retrieval& retrieval, CURLM* multi);

}  // namespace marlowin
