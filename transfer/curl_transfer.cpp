#include "transfer/curl_transfer.h"

#include <curl/curl.h>

#if !defined(_WIN32)
#include <sys/ioctl.h>
#include <sys/select.h>
#endif

#include <algorithm>
#include <chrono>
#include <mutex>
#include <optional>
#include <string_view>

#include "decoding/ascii.h"
#include "decoding/c_handle.h"
#include "decoding/decoding_error.h"
#include "decoding/large_text.h"
#include "decoding/utf8_validator.h"
#include "transfer/address.h"
#include "transfer/content_decoder.h"
#include "transfer/error_descriptions.h"
#include "transfer/proxy_route.h"
#include "workflow/transfer_error.h"

#ifndef MARLOWIN_VERSION
#error "MARLOWIN_VERSION must come from the build"
#endif

namespace marlowin {

namespace {

using Clock = std::chrono::steady_clock;
using Easy = CHandle<CURL, curl_easy_cleanup>;
using HeaderList = CHandle<curl_slist, curl_slist_free_all>;

constexpr std::string_view kUserAgent = "Mozilla/5.0 (compatible; Marlowin/" MARLOWIN_VERSION ")";
// Below the 300 KB libcurl itself allows, so the person gets this precise report.
constexpr std::size_t kMaxHeaderBytes = std::size_t{256} << 10;
// How long one wait for the network may last: the silence clock is looked at this often.
constexpr int kPollMs = 100;

void append_header(HeaderList& list, const char* line) {
    curl_slist* grown = curl_slist_append(list.get(), line);
    if (grown == nullptr) {
        throw TransferError(CURLE_OUT_OF_MEMORY, describe_curl_error(CURLE_OUT_OF_MEMORY));
    }
    static_cast<void>(list.release());  // curl_slist_append extended it in place
    list.reset(grown);
}

template <typename T>
void set_option(CURL* easy, CURLoption option, T value) {
    const CURLcode code = curl_easy_setopt(easy, option, value);
    if (code != CURLE_OK) {
        throw TransferError(code, describe_curl_error(code),
                            std::string("curl_easy_setopt: ") + curl_easy_strerror(code));
    }
}

void check_multi(CURLMcode code, const char* call) {
    if (code != CURLM_OK) {
        throw TransferError(CURLE_FAILED_INIT, describe_curl_error(CURLE_FAILED_INIT),
                            std::string(call) + ": " + curl_multi_strerror(code));
    }
}

// The report of a document over the cap, whether libcurl saw it coming from the declared
// length or the body callback found it while counting.
[[noreturn]] void throw_too_large(std::size_t cap, std::string detail) {
    throw TransferError(CURLE_FILESIZE_EXCEEDED,
                        "文档太大（超过 " + std::to_string(cap >> 20) + " MiB），已拒绝接收",
                        std::move(detail));
}

// Bytes waiting, on the sockets libcurl reads, for libcurl to read them. libcurl counts header
// bytes only once a line is complete, so this is how bytes are seen arriving in an unfinished
// one.
std::size_t unread_bytes(CURLM* multi) {
    fd_set reading;
    fd_set writing;
    fd_set failing;
    FD_ZERO(&reading);
    FD_ZERO(&writing);
    FD_ZERO(&failing);
    int highest = -1;
    if (curl_multi_fdset(multi, &reading, &writing, &failing, &highest) != CURLM_OK) {
        return 0;
    }
    std::size_t waiting = 0;
#if defined(_WIN32)
    for (u_int i = 0; i < reading.fd_count; ++i) {
        u_long count = 0;
        waiting += ioctlsocket(reading.fd_array[i], FIONREAD, &count) == 0 ? count : 0;
    }
#else
    for (int fd = 0; fd <= highest; ++fd) {
        int count = 0;
        if (FD_ISSET(fd, &reading) && ioctl(fd, FIONREAD, &count) == 0 && count > 0) {
            waiting += static_cast<std::size_t>(count);
        }
    }
#endif
    return waiting;
}

enum class Abort {
    None,
    Cancelled,
    TooLarge,
    HeadersTooLong,
    ConflictingLengths,
    Redirect,
    SwitchedProtocols,
    BrokenBody,
};

// The statuses a browser follows the Location of.
bool is_redirect(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

/// One transfer on its easy handle: set up, driven to its end, and its outcome read.
class Request {
public:
    /// @p cookies: the jar the hops of one retrieval share; @p received_before: the bytes
    /// that earlier hops received, for the progress counts.
    Request(std::string url, ProxyRoute route, const TransferOptions& options, std::stop_token stop,
            const PageFetcher::ProgressCallback& progress, CURLSH* cookies,
            std::size_t received_before)
        : url_(std::move(url)),
          route_(std::move(route)),
          options_(options),
          stop_(std::move(stop)),
          progress_(progress),
          raw_seen_(received_before),
          received_(received_before) {
        if (!easy_) {
            throw TransferError(CURLE_FAILED_INIT, describe_curl_error(CURLE_FAILED_INIT),
                                "curl_easy_init failed");
        }
        set_up(cookies);
    }

    /// Runs the transfer on @p multi until it ends; returns libcurl's result.
    CURLcode drive(CURLM* multi);

    /// The document, or the error the transfer ended with.
    FetchedDocument outcome(CURLcode result);

    /// Where the response redirects to (its Location, as sent), when it is a redirect; its
    /// body is never read.
    [[nodiscard]] std::optional<std::string> redirect() const {
        return abort_ == Abort::Redirect ? std::optional(location_) : std::nullopt;
    }
    [[nodiscard]] const std::string& url() const { return url_; }
    /// Bytes received so far, this hop's and the earlier ones'.
    [[nodiscard]] std::size_t received() const { return received_; }

private:
    void set_up(CURLSH* cookies);
    void set_up_route();
    void throw_if_proxy_failed(CURLcode result, const std::string& detail);
    bool headers_end();
    void note_unread(CURLM* multi);
    void count_arrivals();
    static std::size_t on_body(char* data, std::size_t size, std::size_t count, void* user);
    bool keep(std::string_view piece);
    static std::size_t on_header(char* line, std::size_t size, std::size_t count, void* user);
    bool lengths_agree(std::string_view line);

    std::string url_;
    ProxyRoute route_;
    const TransferOptions& options_;
    std::stop_token stop_;
    const PageFetcher::ProgressCallback& progress_;
    Easy easy_{curl_easy_init()};
    HeaderList headers_;
    HeaderList fixed_addresses_;
    char error_buffer_[CURL_ERROR_SIZE] = {};
    std::string body_;
    Utf8Validator validator_;
    std::size_t header_bytes_ = 0;
    std::optional<std::string> declared_length_;  // of the response being received
    std::string location_;                        // of the response being received
    // Bytes seen arriving: unread on the socket at each wake-up, or counted by libcurl.
    std::size_t raw_seen_;
    std::size_t left_unread_ = 0;
    std::size_t received_;
    Clock::time_point last_arrival_ = Clock::now();
    Abort abort_ = Abort::None;
    bool body_started_ = false;
    bool headers_complete_ = false;          // of the final response
    std::string content_encoding_;           // of the response being received
    std::optional<ContentDecoder> decoder_;  // of the final response's body
};

void Request::set_up(CURLSH* cookies) {
    append_header(headers_, "Accept: text/html,*/*");
    append_header(headers_, "Accept-Language: zh-CN,zh;q=0.9,en;q=0.8");
    CURL* e = easy_.get();
    set_option(e, CURLOPT_URL, url_.c_str());
    set_option(e, CURLOPT_ERRORBUFFER, error_buffer_);
    set_option(e, CURLOPT_PROTOCOLS_STR, "http,https");
    set_option(e, CURLOPT_DEFAULT_PROTOCOL, "http");
    // Redirects are followed by CurlTransfer::fetch, so that each next address goes through
    // the same rules as a typed one; cookies go along in the jar the hops share. No Referer:
    // the first request has none, and the address a person typed (its path and query) is
    // nothing the next host needs to learn.
    set_option(e, CURLOPT_FOLLOWLOCATION, 0L);
    set_option(e, CURLOPT_AUTOREFERER, 0L);
    set_option(e, CURLOPT_COOKIEFILE, "");
    set_option(e, CURLOPT_SHARE, cookies);
    // The codings are undone by ContentDecoder, which knows when a body was cut short.
    set_option(e, CURLOPT_ACCEPT_ENCODING, accepted_content_codings().data());
    set_option(e, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    set_option(e, CURLOPT_USERAGENT, kUserAgent.data());
    set_option(e, CURLOPT_HTTPHEADER, headers_.get());
    set_option(e, CURLOPT_FAILONERROR, 1L);
    // HTTP/1.1 even where a server offers HTTP/2: this libcurl stalls on an HTTP/2 header block
    // over its 100 KB limit until the server gives up (curl issue 16535), where HTTP/1.1 ends
    // in the error that says so. One page per click gains nothing from HTTP/2.
    set_option(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    set_option(e, CURLOPT_NOSIGNAL, 1L);
    // A connection of its own for each request, closed after it: bytes a server left on an
    // idle connection can never pass for the answer to the next request.
    set_option(e, CURLOPT_FRESH_CONNECT, 1L);
    set_option(e, CURLOPT_FORBID_REUSE, 1L);
    set_option(e, CURLOPT_QUICK_EXIT, 1L);  // a cancelled name lookup is not waited for
    set_option(e, CURLOPT_SSL_VERIFYPEER, 1L);
    set_option(e, CURLOPT_SSL_VERIFYHOST, 2L);
#if defined(_WIN32)
    // As browsers on Windows: a revocation server that cannot be reached (offline, blocked)
    // does not refuse every certificate; a revoked, untrusted, expired or misnamed one still
    // is refused.
    set_option(e, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
    set_option(e, CURLOPT_PROXY_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
#endif
    if (!options_.ca_file.empty()) {
        set_option(e, CURLOPT_CAINFO, options_.ca_file.c_str());
        set_option(e, CURLOPT_PROXY_CAINFO, options_.ca_file.c_str());
    }
    for (const std::string& entry : options_.fixed_addresses) {
        append_header(fixed_addresses_, entry.c_str());
    }
    if (fixed_addresses_) {
        set_option(e, CURLOPT_RESOLVE, fixed_addresses_.get());
    }
    set_up_route();
    set_option(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options_.connect_timeout.count()));
    set_option(e, CURLOPT_WRITEFUNCTION, on_body);
    set_option(e, CURLOPT_WRITEDATA, this);
    set_option(e, CURLOPT_HEADERFUNCTION, on_header);
    set_option(e, CURLOPT_HEADERDATA, this);
}

// The route was chosen before: libcurl is told it outright, so that it neither reads the
// environment again nor applies its own no_proxy.
void Request::set_up_route() {
    CURL* e = easy_.get();
    set_option(e, CURLOPT_PROXY, route_.proxy.c_str());  // "" is a direct connection
    set_option(e, CURLOPT_NOPROXY, "");
    if (route_.direct()) {
        return;
    }
    const std::size_t authority = route_.proxy.find("://");
    const std::string_view after_scheme =
        std::string_view(route_.proxy).substr(authority == std::string::npos ? 0 : authority + 3);
    if (after_scheme.substr(0, after_scheme.find('/')).find('@') != std::string_view::npos) {
        // A name and password in the proxy setting, for whichever scheme the proxy asks.
        set_option(e, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_ANY));
        return;
    }
#if defined(_WIN32)
    // The person's own Windows sign-in, as WinINet gives it to a proxy that asks: Negotiate
    // (Kerberos) or NTLM through SSPI, with no prompt. The empty name means "the current user".
    set_option(e, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_NEGOTIATE | CURLAUTH_NTLM));
    set_option(e, CURLOPT_PROXYUSERPWD, ":");
#endif
}

std::size_t Request::on_body(char* data, std::size_t size, std::size_t count, void* user) {
    auto& request = *static_cast<Request*>(user);
    const std::size_t n = size * count;
    request.last_arrival_ = Clock::now();
    if (request.stop_.stop_requested()) {
        request.abort_ = Abort::Cancelled;
        return CURL_WRITEFUNC_ERROR;
    }
    if (!request.body_started_) {
        // A declared length (exact unless compressed) spares the copies of growing.
        request.body_started_ = true;
        curl_off_t declared = -1;
        curl_easy_getinfo(request.easy_.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &declared);
        if (declared > 0) {
            reserve_large_text(request.body_, std::min(request.options_.max_document_bytes,
                                                       static_cast<std::size_t>(declared)));
        }
    }
    const std::string_view bytes(data, n);
    const auto keep = [&request](std::string_view piece) { return request.keep(piece); };
    ContentDecoder::Result result = ContentDecoder::Result::Ok;
    if (request.decoder_) {
        result = request.decoder_->feed(bytes, keep);
    } else if (!keep(bytes)) {
        result = ContentDecoder::Result::Stopped;
    }
    if (result == ContentDecoder::Result::Broken) {
        request.abort_ = Abort::BrokenBody;
    }
    return result == ContentDecoder::Result::Ok ? n : CURL_WRITEFUNC_ERROR;
}

// A piece of the decoded document, counted against the cap.
bool Request::keep(std::string_view piece) {
    const std::size_t cap = options_.max_document_bytes;
    if (piece.size() > cap - body_.size()) {
        abort_ = Abort::TooLarge;
        return false;
    }
    // Grow geometrically, never past the cap, and straight to the cap once past half of it:
    // a document near the cap is then copied once at most, and even a refused one never has
    // more than the cap in memory.
    if (body_.size() + piece.size() > body_.capacity()) {
        std::size_t grown = std::max(body_.size() + piece.size(), body_.capacity() * 2);
        if (grown > cap / 2) {
            grown = cap;
        }
        reserve_large_text(body_, grown);
    }
    body_.append(piece);
    validator_.feed(piece);
    return true;
}

// The header lines matter only for how much arrives, and for the lengths they declare.
std::size_t Request::on_header(char* line, std::size_t size, std::size_t count, void* user) {
    auto& request = *static_cast<Request*>(user);
    const std::size_t n = size * count;
    request.last_arrival_ = Clock::now();
    request.header_bytes_ += n;
    if (request.header_bytes_ > kMaxHeaderBytes) {
        request.abort_ = Abort::HeadersTooLong;
        return 0;
    }
    const std::string_view text(line, n);
    if (!request.lengths_agree(text)) {
        request.abort_ = Abort::ConflictingLengths;
        return 0;
    }
    if (text.starts_with("HTTP/")) {
        request.location_.clear();
        request.content_encoding_.clear();
    } else if (ascii::starts_with_ignoring_case(text, "location:")) {
        request.location_ = text.substr(9);
    } else if (ascii::starts_with_ignoring_case(text, "content-encoding:")) {
        request.content_encoding_ += ',';
        request.content_encoding_ += text.substr(17);
    } else if ((text == "\r\n" || text == "\n") && !request.headers_end()) {
        return 0;
    }
    return n;
}

// The end of a response's headers: whether to read its body. A redirect's is never read, nor
// is one declared larger than the cap.
bool Request::headers_end() {
    long status = 0;
    curl_easy_getinfo(easy_.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status == 101) {
        abort_ = Abort::SwitchedProtocols;  // nothing asked for another protocol
        return false;
    }
    if (status < 200) {
        return true;  // 100 Continue and the like: the real response follows
    }
    headers_complete_ = true;
    if (is_redirect(status) && !location_.empty()) {
        abort_ = Abort::Redirect;
        return false;
    }
    curl_off_t declared = -1;
    curl_easy_getinfo(easy_.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &declared);
    if (declared > 0 && static_cast<std::size_t>(declared) > options_.max_document_bytes) {
        abort_ = Abort::TooLarge;
        return false;
    }
    decoder_.emplace(content_encoding_);
    return true;
}

// Two Content-Length values that differ leave the document's end unknown: libcurl would take
// the last one and cut the page short, so the response is refused, as browsers refuse it.
bool Request::lengths_agree(std::string_view line) {
    if (line.starts_with("HTTP/")) {
        declared_length_.reset();  // a new response: after a redirect, or 100 Continue
        return true;
    }
    constexpr std::string_view kName = "content-length:";
    if (!ascii::starts_with_ignoring_case(line, kName)) {
        return true;
    }
    std::string_view values = line.substr(kName.size());
    while (!values.empty()) {
        const std::size_t comma = values.find(',');
        std::string_view value = values.substr(0, comma);
        values = comma == std::string_view::npos ? std::string_view() : values.substr(comma + 1);
        while (!value.empty() && ascii::is_whitespace(value.front())) {
            value.remove_prefix(1);
        }
        while (!value.empty() && ascii::is_whitespace(value.back())) {
            value.remove_suffix(1);
        }
        if (!declared_length_) {
            declared_length_ = std::string(value);
        } else if (*declared_length_ != value) {
            return false;
        }
    }
    return true;
}

// The socket woke the wait: what waits on it for libcurl is new, unless it waited already.
// count_arrivals() restarts the silence clock when this count grows.
void Request::note_unread(CURLM* multi) {
    const std::size_t unread = unread_bytes(multi);
    raw_seen_ += unread - std::min(unread, left_unread_);
}

// What has arrived so far, counted in raw bytes off the wire (compressed, headers included),
// restarts the silence clock and goes to the progress callback.
void Request::count_arrivals() {
    const auto now = Clock::now();
    curl_off_t body_raw = 0;
    curl_easy_getinfo(easy_.get(), CURLINFO_SIZE_DOWNLOAD_T, &body_raw);
    const std::size_t counted =
        header_bytes_ + static_cast<std::size_t>(std::max<curl_off_t>(body_raw, 0));
    const std::size_t received = std::max(raw_seen_, counted);
    if (received > received_) {
        received_ = received;
        last_arrival_ = now;
        if (progress_) {
            progress_(received_, false);
        }
    }
}

CURLcode Request::drive(CURLM* multi) {
    CURL* e = easy_.get();
    check_multi(curl_multi_add_handle(multi, e), "curl_multi_add_handle");
    struct Detach {
        CURLM* multi;
        CURL* easy;
        ~Detach() { curl_multi_remove_handle(multi, easy); }
    } detach{multi, e};

    for (;;) {
        int running = 0;
        check_multi(curl_multi_perform(multi, &running), "curl_multi_perform");
        count_arrivals();
        left_unread_ = unread_bytes(multi);
        if (running == 0) {
            CURLcode result = CURLE_OK;
            int queued = 0;
            for (CURLMsg* msg = curl_multi_info_read(multi, &queued); msg != nullptr;
                 msg = curl_multi_info_read(multi, &queued)) {
                if (msg->msg == CURLMSG_DONE && msg->easy_handle == e) {
                    result = msg->data.result;
                }
            }
            return result;
        }
        if (stop_.stop_requested()) {
            throw TransferCancelled();
        }
        if (Clock::now() - last_arrival_ > options_.idle_timeout) {
            throw TransferError(
                CURLE_OPERATION_TIMEDOUT, "服务器响应超时（长时间没有收到数据）",
                "no data for " + std::to_string(options_.idle_timeout.count()) + " ms");
        }
        // Waits for the socket, libcurl's own timers, a wake-up from cancel(), or at most
        // kPollMs.
        int events = 0;
        check_multi(curl_multi_poll(multi, nullptr, 0, kPollMs, &events), "curl_multi_poll");
        if (events > 0) {
            note_unread(multi);
        }
    }
}

// What went wrong at the proxy, if anything did: it could not be reached, refused the tunnel,
// wants a sign-in, or showed a certificate that was refused. Details never name the proxy's
// address, which may hold a name and password.
void Request::throw_if_proxy_failed(CURLcode result, const std::string& detail) {
    CURL* e = easy_.get();
    long tunnel_status = 0;
    curl_easy_getinfo(e, CURLINFO_HTTP_CONNECTCODE, &tunnel_status);
    if (tunnel_status >= 300) {
        throw TransferError(static_cast<int>(tunnel_status), describe_proxy_refusal(tunnel_status),
                            "the proxy answered CONNECT with " + std::to_string(tunnel_status));
    }
    long status = 0;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
    if (status == 407) {  // a plain http:// request: the proxy answers it itself
        throw TransferError(407, describe_proxy_refusal(407), "the proxy answered 407");
    }
    switch (result) {
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_CONNECT:
            throw TransferError(result, describe_proxy_error(result), detail);
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
            // Before a tunnel, the only certificate seen is the proxy's.
            if (route_.proxy.starts_with("https://") && tunnel_status == 0) {
                throw TransferError(result, describe_proxy_error(result), detail);
            }
            break;
        default:
            break;
    }
}

FetchedDocument Request::outcome(CURLcode result) {
    switch (abort_) {
        case Abort::Cancelled:
            throw TransferCancelled();
        case Abort::TooLarge:
            throw_too_large(
                options_.max_document_bytes,
                "document larger than " + std::to_string(options_.max_document_bytes) + " bytes");
        case Abort::HeadersTooLong:
            throw TransferError(
                CURLE_RECV_ERROR, std::string(kHeadersTooLong),
                "response headers longer than " + std::to_string(kMaxHeaderBytes) + " bytes");
        case Abort::ConflictingLengths:
            throw TransferError(CURLE_WEIRD_SERVER_REPLY, std::string(kConflictingLengths),
                                "Content-Length headers that disagree");
        case Abort::BrokenBody:
            throw TransferError(CURLE_BAD_CONTENT_ENCODING, std::string(kBrokenBody),
                                "the compressed body does not decode to its end");
        case Abort::SwitchedProtocols:
            throw TransferError(CURLE_WEIRD_SERVER_REPLY, std::string(kSwitchedProtocols),
                                "101 Switching Protocols to a plain GET");
        case Abort::None:
        case Abort::Redirect:
            break;
    }
    CURL* e = easy_.get();
    long status = 0;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
    const std::string detail =
        "libcurl " + std::to_string(result) + ": " +
        (error_buffer_[0] != '\0' ? error_buffer_ : curl_easy_strerror(result));
    if (!route_.direct()) {
        throw_if_proxy_failed(result, detail);
    }
    if (result == CURLE_HTTP_RETURNED_ERROR || (result == CURLE_OK && status >= 400)) {
        throw TransferError(
            static_cast<int>(status), describe_http_status(status),
            "HTTP status " + std::to_string(status) + " from " + address_for_details(url_));
    }
    if (result == CURLE_OK && !headers_complete_) {
        throw TransferError(CURLE_PARTIAL_FILE, describe_curl_error(CURLE_PARTIAL_FILE),
                            "the reply ended inside its headers");
    }
    if (result == CURLE_OK && status < 200) {
        throw TransferError(CURLE_WEIRD_SERVER_REPLY, std::string(kNotHttpReply),
                            "no final status after " + std::to_string(status));
    }
    switch (result) {
        case CURLE_OK:
            break;
        case CURLE_FILESIZE_EXCEEDED:
            throw_too_large(options_.max_document_bytes, detail);
        case CURLE_UNSUPPORTED_PROTOCOL:
            // Only http(s) addresses get this far, so the reply was not HTTP: none at all
            // (libcurl takes it for HTTP/0.9, which it refuses), or not after its first lines.
            throw TransferError(result, std::string(kNotHttpReply), detail);
        case CURLE_OUT_OF_MEMORY:
            // libcurl keeps an unfinished header line, the status line too, to 100 KB, and
            // reports a longer one this way.
            if (received_ > 0 && !body_started_) {
                throw TransferError(CURLE_RECV_ERROR, std::string(kHeadersTooLong), detail);
            }
            throw TransferError(result, describe_curl_error(result), detail);
        default:
            throw TransferError(result, describe_curl_error(result), detail);
    }

    const ContentDecoder::Result ending =
        decoder_ ? decoder_->finish([this](std::string_view piece) { return keep(piece); })
                 : ContentDecoder::Result::Ok;
    if (ending == ContentDecoder::Result::Broken) {
        throw TransferError(CURLE_BAD_CONTENT_ENCODING, std::string(kBrokenBody),
                            "the compressed body ends before its coding does");
    }
    if (ending == ContentDecoder::Result::Stopped) {
        throw_too_large(options_.max_document_bytes, "document larger than the cap");
    }

    FetchedDocument document;
    const char* content_type = nullptr;
    curl_easy_getinfo(e, CURLINFO_CONTENT_TYPE, &content_type);
    document.content_type = content_type != nullptr ? content_type : "";
    document.body_is_valid_utf8 = validator_.valid();
    document.body = std::move(body_);
    return document;
}

}  // namespace

void CurlTransfer::global_init() {
    static std::once_flag once;
    std::call_once(once, [] {
        const CURLcode code = curl_global_init(CURL_GLOBAL_DEFAULT);
        if (code != CURLE_OK) {
            throw TransferError(code, describe_curl_error(CURLE_FAILED_INIT),
                                "curl_global_init failed");
        }
    });
}

CurlTransfer::CurlTransfer(TransferOptions options) : options_(std::move(options)) {
    global_init();
    multi_.reset(curl_multi_init());
    if (!multi_) {
        throw TransferError(CURLE_FAILED_INIT, describe_curl_error(CURLE_FAILED_INIT),
                            "curl_multi_init failed");
    }
}

CurlTransfer::~CurlTransfer() = default;

// Only HTTP and HTTPS are ever fetched, whatever is selected.
void CurlTransfer::set_protocol(Protocol /*protocol*/) {}

void CurlTransfer::set_progress_callback(ProgressCallback callback) {
    progress_ = std::move(callback);
}

void CurlTransfer::cancel() {
    stop_.request_stop();
    curl_multi_wakeup(multi_.get());
}

void CurlTransfer::reset_cancel() {
    stop_ = std::stop_source();
}

std::string CurlTransfer::open_url(const std::string& address) {
    return open_page(address).text;
}

DecodedPage CurlTransfer::open_page(const std::string& address) {
    const std::stop_token stop = stop_.get_token();
    FetchedDocument document = fetch(address, stop);
    DecodedPage page = decode(std::move(document), stop);
    // A cancel that came after the last byte still counts.
    if (stop.stop_requested()) {
        throw TransferCancelled();
    }
    if (options_.before_delivery) {
        options_.before_delivery();
    }
    return page;
}

// The page's text, with decoding's own outcomes told as the transfer's.
DecodedPage CurlTransfer::decode(FetchedDocument&& document, const std::stop_token& stop) {
    try {
        return decode_html_bytes(std::move(document.body), document.content_type,
                                 document.body_is_valid_utf8, stop);
    } catch (const DecodingCancelled&) {
        throw TransferCancelled();
    } catch (const DecodingError& error) {
        throw TransferError(CURLE_BAD_CONTENT_ENCODING, std::string(kCannotDecode), error.what());
    }
}

FetchedDocument CurlTransfer::fetch(const std::string& address, const std::stop_token& stop) {
    if (stop.stop_requested()) {
        throw TransferCancelled();
    }
    const CHandle<CURLSH, curl_share_cleanup> cookies(curl_share_init());
    if (!cookies ||
        curl_share_setopt(cookies.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE) != CURLSHE_OK) {
        throw TransferError(CURLE_FAILED_INIT, describe_curl_error(CURLE_FAILED_INIT),
                            "cannot make a cookie jar");
    }
    std::string url = normalize_address(address);
    std::size_t received = 0;
    for (long redirects = 0;; ++redirects) {
        // Per hop: a PAC script may send each host its own way.
        ProxyRoute route = choose_proxy_route(url, options_.connect_timeout, stop);
        Request request(std::move(url), std::move(route), options_, stop, progress_, cookies.get(),
                        received);
        const CURLcode result = request.drive(multi_.get());
        received = request.received();
        if (const std::optional<std::string> location = request.redirect()) {
            if (redirects == options_.max_redirects) {
                throw TransferError(
                    CURLE_TOO_MANY_REDIRECTS, describe_curl_error(CURLE_TOO_MANY_REDIRECTS),
                    "more than " + std::to_string(options_.max_redirects) + " redirects");
            }
            url = redirect_target(request.url(), *location);
            continue;
        }
        if (progress_) {
            progress_(received, true);
        }
        return request.outcome(result);
    }
}

}  // namespace marlowin
