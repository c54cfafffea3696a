#include "transfer/request_outcome.h"

#include <charconv>
#include <vector>

#include "transfer/address.h"
#include "transfer/error_catalogue.h"

namespace marlowin {

namespace {

// The user name and password an address holds, as written and percent-decoded.
void add_credentials(std::string_view address, std::vector<std::string>& secrets) {
    const std::size_t scheme_end = address.find("://");
    const std::string_view rest =
        address.substr(scheme_end == std::string_view::npos ? 0 : scheme_end + 3);
    const std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    const std::size_t at = authority.rfind('@');
    if (at == std::string_view::npos) {
        return;
    }
    const std::string_view userinfo = authority.substr(0, at);
    const std::size_t colon = userinfo.find(':');
    for (const std::string_view part :
         {userinfo.substr(0, colon),
          colon == std::string_view::npos ? std::string_view() : userinfo.substr(colon + 1)}) {
        if (part.empty()) {
            continue;
        }
        secrets.emplace_back(part);
        std::string decoded;
        for (std::size_t i = 0; i < part.size(); ++i) {
            unsigned value = 0;
            const char* digits = part.data() + i + 1;
            if (part[i] == '%' && i + 2 < part.size() &&
                std::from_chars(digits, digits + 2, value, 16).ptr == digits + 2) {
                decoded += static_cast<char>(value);
                i += 2;
            } else {
                decoded += part[i];
            }
        }
        secrets.push_back(std::move(decoded));
    }
}

// An HTTP/2 header block of this much and more, cut off by the framing layer, was too long.
constexpr std::size_t kHeaderBlockSeen = std::size_t{64} << 10;

// Whether the proxy's own connection failed: nothing came back from it that was HTTP.
bool proxy_sent_nothing_valid(const RequestFacts& facts) {
    return facts.tunnel_status == 0 && facts.reader.status() == 0;
}

// What went wrong at the proxy, if anything did: it could not be found or reached, refused the
// request, wants a sign-in, showed a certificate that was refused, or closed or garbled its
// answer before any HTTP came back.
void raise_if_proxy_failed(const RequestFacts& facts, const std::string& detail) {
    if (facts.tunnel_status >= 300) {
        fail_proxy_refusal(facts.tunnel_status, "the proxy answered CONNECT with " +
                                                    std::to_string(facts.tunnel_status));
    }
    if (facts.status == 407) {  // a plain http:// request: the proxy answers it itself
        fail_proxy_refusal(407, "the proxy answered 407");
    }
    const bool before_tunnel = facts.route.over_tls() && facts.tunnel_status == 0;
    switch (facts.result) {
        case CURLE_COULDNT_RESOLVE_PROXY:
            fail_curl(facts.result, detail);
        case CURLE_COULDNT_CONNECT:
            fail(Failure::ProxyUnreachable, detail);
        case CURLE_OPERATION_TIMEDOUT:
            fail(Failure::ProxyTimeout, detail);
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
            // Before a tunnel, the only certificate seen is the proxy's.
            if (before_tunnel) {
                fail(Failure::ProxyCertificate, detail);
            }
            break;
        case CURLE_SSL_CONNECT_ERROR:
            if (before_tunnel) {
                fail(Failure::ProxyHandshake, detail);
            }
            break;
        case CURLE_GOT_NOTHING:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
            if (proxy_sent_nothing_valid(facts)) {
                fail(Failure::ProxyClosed, detail);
            }
            break;
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_WEIRD_SERVER_REPLY:
            if (proxy_sent_nothing_valid(facts)) {
                fail(Failure::ProxyNotHttp, detail);
            }
            break;
        default:
            break;
    }
}

// A reply libcurl would not take as HTTP: none at all (it takes that for HTTP/0.9, which it
// refuses), or bytes that are not HTTP after an informational status.
[[noreturn]] void raise_not_http(const RequestFacts& facts, const std::string& detail) {
    if (facts.status > 0 && facts.status < 200) {
        fail_curl(CURLE_WEIRD_SERVER_REPLY,
                  "after the informational status " + std::to_string(facts.status) +
                      ", bytes that are not HTTP (a body where none may be)");
    }
    fail_curl(CURLE_WEIRD_SERVER_REPLY, detail);
}

}  // namespace

std::string without_credentials(std::string_view message, const std::string& url,
                                const std::string& proxy) {
    std::string text(message);
    // Any "scheme://name:password@" quoted.
    for (std::size_t from = text.find("://"); from != std::string::npos;
         from = text.find("://", from + 3)) {
        const std::size_t start = from + 3;
        const std::size_t end = text.find_first_of("/?#'\" \t", start);
        const std::size_t at = text.rfind('@', end == std::string::npos ? text.size() : end);
        if (at != std::string::npos && at >= start) {
            text.erase(start, at + 1 - start);
        }
    }
    std::vector<std::string> secrets;
    add_credentials(url, secrets);
    add_credentials(proxy, secrets);
    for (const std::string& secret : secrets) {
        for (std::size_t at = text.find(secret); !secret.empty() && at != std::string::npos;
             at = text.find(secret, at)) {
            text.replace(at, secret.size(), "…");
        }
    }
    return text;
}

void raise_request_failure(const RequestFacts& facts) {
    if (const auto& refusal = facts.reader.refusal()) {
        refusal->raise(facts.reader.cap());
    }
    const std::string message = facts.libcurl_message.empty() ? curl_easy_strerror(facts.result)
                                                              : std::string(facts.libcurl_message);
    const std::string detail = "libcurl " + std::to_string(facts.result) + ": " +
                               without_credentials(message, facts.url, facts.route.proxy);
    if (!facts.route.direct()) {
        raise_if_proxy_failed(facts, detail);
    }
    if (facts.result == CURLE_HTTP_RETURNED_ERROR ||
        (facts.result == CURLE_OK && facts.status >= 400)) {
        fail_status(facts.status, "HTTP status " + std::to_string(facts.status) + " from " +
                                      address_for_details(facts.url));
    }
    if (facts.result == CURLE_OK && !facts.reader.head_complete()) {
        fail_curl(CURLE_PARTIAL_FILE, "the reply ended inside its headers");
    }
    if (facts.result == CURLE_OK && facts.status < 200) {
        fail_curl(CURLE_WEIRD_SERVER_REPLY,
                  "no final status after " + std::to_string(facts.status));
    }
    switch (facts.result) {
        case CURLE_OK:
            return;
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_WEIRD_SERVER_REPLY:
            // Only http(s) addresses get this far, so the reply was not HTTP.
            raise_not_http(facts, detail);
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
            // nghttp2 takes a header block of at most 8 CONTINUATION frames (some 130 KB) and
            // refuses a longer one so.
            if (!facts.reader.head_complete() && facts.reader.header_bytes() > kHeaderBlockSeen) {
                fail(Failure::HeadersTooLong,
                     "an HTTP/2 header block longer than nghttp2 takes (" + detail + ")");
            }
            fail_curl(facts.result, detail);
        case CURLE_OUT_OF_MEMORY:
#if CURL_AT_LEAST_VERSION(8, 6, 0)
        case CURLE_TOO_LARGE:
#endif
            // libcurl keeps an unfinished header line, the status line too, to 100 KB, and
            // reports a longer one so: as running out of memory before 8.6, as too large since.
            // (Too large says by itself that bytes came; out of memory only with them.)
            if ((facts.result != CURLE_OUT_OF_MEMORY || facts.received > 0) &&
                !facts.reader.body_started()) {
                fail(Failure::HeadersTooLong,
                     "a header line longer than the 100 KB libcurl keeps of one (libcurl " +
                         std::to_string(facts.result) + ")");
            }
            fail_curl(facts.result, detail);
        default:
            fail_curl(facts.result, detail);
    }
}

}  // namespace marlowin
