#include "transfer/request_options.h"

#include <string_view>

#include "transfer/content_decoder.h"
#include "transfer/error_catalogue.h"

#ifndef MARLOWIN_VERSION
#error "MARLOWIN_VERSION must come from the build"
#endif

namespace marlowin {

namespace {

constexpr std::string_view kUserAgent = "Mozilla/5.0 (compatible; Marlowin/" MARLOWIN_VERSION ")";

template <typename T>
void set_option(CURL* easy, CURLoption option, T value) {
    const CURLcode code = curl_easy_setopt(easy, option, value);
    if (code != CURLE_OK) {
        fail_curl(code, std::string("curl_easy_setopt: ") + curl_easy_strerror(code));
    }
}

void append_header(CHandle<curl_slist, curl_slist_free_all>& list, const char* line) {
    curl_slist* grown = curl_slist_append(list.get(), line);
    if (grown == nullptr) {
        fail_curl(CURLE_OUT_OF_MEMORY, "curl_slist_append");
    }
    static_cast<void>(list.release());  // curl_slist_append extended it in place
    list.reset(grown);
}

// The route was chosen before: libcurl is told it outright, so that it neither reads the
// environment again nor applies its own no_proxy.
void set_route(CURL* easy, const ProxyRoute& route) {
    set_option(easy, CURLOPT_PROXY, route.proxy.c_str());  // "" is a direct connection
    set_option(easy, CURLOPT_NOPROXY, "");
    if (route.direct()) {
        return;
    }
    // A proxy's CONNECT reply is the proxy's business, not a response of the page's.
    set_option(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    if (route.has_credentials()) {
        // A name and password in the proxy setting, for whichever scheme the proxy asks.
        set_option(easy, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_ANY));
        return;
    }
#if defined(_WIN32)
    // The person's own Windows sign-in, as WinINet gives it to a proxy that asks: Negotiate
    // (Kerberos) or NTLM through SSPI, with no prompt. The empty name means "the current user".
    set_option(easy, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_NEGOTIATE | CURLAUTH_NTLM));
    set_option(easy, CURLOPT_PROXYUSERPWD, ":");
#endif
}

}  // namespace

long preferred_http_version(const curl_version_info_data& curl) {
    constexpr unsigned kFixed = (8U << 16) | (13U << 8);
    const bool has_http2 = (curl.features & CURL_VERSION_HTTP2) != 0;
    return has_http2 && curl.version_num >= kFixed ? CURL_HTTP_VERSION_2TLS : CURL_HTTP_VERSION_1_1;
}

void set_request_options(CURL* easy, const std::string& url, const ProxyRoute& route,
                         const TransferOptions& options, CURLSH* cookies,
                         CHandle<curl_slist, curl_slist_free_all>& headers) {
    static const long http_version = preferred_http_version(*curl_version_info(CURLVERSION_NOW));
    append_header(headers, "Accept: text/html,*/*");
    append_header(headers, "Accept-Language: zh-CN,zh;q=0.9,en;q=0.8");
    set_option(easy, CURLOPT_URL, url.c_str());
    set_option(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    set_option(easy, CURLOPT_DEFAULT_PROTOCOL, "http");
    // Redirects are followed by the fetch, so that each next address goes through the same
    // rules as a typed one; cookies go along in the jar the hops share. No Referer: the first
    // request has none, and the address a person typed (its path and query) is nothing the
    // next host needs to learn.
    set_option(easy, CURLOPT_FOLLOWLOCATION, 0L);
    set_option(easy, CURLOPT_AUTOREFERER, 0L);
    set_option(easy, CURLOPT_COOKIEFILE, "");
    set_option(easy, CURLOPT_SHARE, cookies);
    // The codings are undone by ContentDecoder, which knows when a body was cut short.
    set_option(easy, CURLOPT_ACCEPT_ENCODING, accepted_content_codings().data());
    set_option(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    set_option(easy, CURLOPT_USERAGENT, kUserAgent.data());
    set_option(easy, CURLOPT_HTTPHEADER, headers.get());
    set_option(easy, CURLOPT_FAILONERROR, 1L);
    set_option(easy, CURLOPT_HTTP_VERSION, http_version);
    set_option(easy, CURLOPT_NOSIGNAL, 1L);
    // A connection of its own for each request, closed after it: bytes a server left on an
    // idle connection can never pass for the answer to the next request.
    set_option(easy, CURLOPT_FRESH_CONNECT, 1L);
    set_option(easy, CURLOPT_FORBID_REUSE, 1L);
    set_option(easy, CURLOPT_QUICK_EXIT, 1L);  // a cancelled name lookup is not waited for
    set_option(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    set_option(easy, CURLOPT_SSL_VERIFYHOST, 2L);
#if defined(_WIN32)
    // As browsers on Windows: a revocation server that cannot be reached (offline, blocked)
    // does not refuse every certificate; a revoked, untrusted, expired or misnamed one still
    // is refused.
    set_option(easy, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
    set_option(easy, CURLOPT_PROXY_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
#endif
    set_route(easy, route);
    set_option(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.connect_timeout.count()));
}

}  // namespace marlowin
