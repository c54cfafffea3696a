#pragma once

#include <curl/curl.h>

#include <optional>
#include <string>

#include "base/c_handle.h"

namespace marlowin {

/// A URL held by libcurl's own parser, for the parse, get and set steps the transfer takes,
/// each one's result checked.
class CurlUrl {
public:
    /// @p url parsed as libcurl will fetch it, with @p flags (CURLU_NON_SUPPORT_SCHEME for a
    /// proxy's socks5h://); nullopt when libcurl does not take it.
    [[nodiscard]] static std::optional<CurlUrl> parse(const std::string& url,
                                                      unsigned int flags = 0);

    /// One part (CURLUPART_HOST, or CURLUPART_URL for the whole); nullopt when it is absent.
    [[nodiscard]] std::optional<std::string> get(CURLUPart part) const;
    /// Sets a part, or with nullptr removes it; with CURLUPART_URL a relative address is
    /// resolved against the one held. Whether libcurl took it.
    [[nodiscard]] bool set(CURLUPart part, const char* value, unsigned int flags = 0);

private:
    CurlUrl() = default;
    unsigned int flags_ = 0;
    CHandle<CURLU, curl_url_cleanup> handle_{curl_url()};
};

}  // namespace marlowin
