#include "transfer/curl_transfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <string_view>

#include "transfer/address.h"
#include "transfer/error_descriptions.h"
#include "transfer/html_decoding.h"
#include "transfer/utf8_validator.h"
#include "workflow/transfer_error.h"

#ifndef MARLOWIN_VERSION
#error "MARLOWIN_VERSION must come from the build"
#endif

namespace marlowin {

namespace {

constexpr std::string_view kUserAgent = "Mozilla/5.0 (compatible; Marlowin/" MARLOWIN_VERSION ")";
// Below the 300 KB libcurl itself allows, so the person gets this precise report.
constexpr std::size_t kMaxHeaderBytes = std::size_t{256} << 10;
constexpr std::string_view kHeadersTooLong = "服务器发送的响应头过长，已停止接收";

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};

/// The request's extra header lines, freed with the request.
class HeaderList {
public:
    void append(const char* line) {
        curl_slist* grown = curl_slist_append(list_.get(), line);
        if (grown == nullptr) {
            throw TransferError(CURLE_OUT_OF_MEMORY, describe_curl_error(CURLE_OUT_OF_MEMORY));
        }
        static_cast<void>(list_.release());  // curl_slist_append extended it in place
        list_.reset(grown);
    }
    [[nodiscard]] curl_slist* get() const { return list_.get(); }

private:
    struct Deleter {
        void operator()(curl_slist* list) const { curl_slist_free_all(list); }
    };
    std::unique_ptr<curl_slist, Deleter> list_;
};

template <typename T>
void set_option(CURL* easy, CURLoption option, T value) {
    const CURLcode code = curl_easy_setopt(easy, option, value);
    if (code != CURLE_OK) {
        throw TransferError(code, describe_curl_error(code),
                            std::string("curl_easy_setopt: ") + curl_easy_strerror(code));
    }
}

// The report of a document over the cap, whether libcurl saw it coming from the declared
// length or the body callback found it while counting.
[[noreturn]] void throw_too_large(std::size_t cap, std::string detail) {
    throw TransferError(CURLE_FILESIZE_EXCEEDED,
                        "文档太大（超过 " + std::to_string(cap >> 20) + " MiB），已拒绝接收",
                        std::move(detail));
}

enum class Abort { None, Cancelled, TooLarge, HeadersTooLong };

/// One transfer on its easy handle: set up, driven to its end, and its outcome read.
class Request {
public:
    Request(std::string url, const TransferOptions& options, std::stop_token stop,
            const PageFetcher::ProgressCallback& progress)
        : url_(std::move(url)), options_(options), stop_(std::move(stop)), progress_(progress) {
        if (!easy_) {
            throw TransferError(CURLE_FAILED_INIT, describe_curl_error(CURLE_FAILED_INIT),
                                "curl_easy_init failed");
        }
        set_up();
    }

    /// Runs the transfer on @p multi until it ends; returns libcurl's result.
    CURLcode drive(CURLM* multi);

    /// The document, or the error the transfer ended with.
    FetchedDocument outcome(CURLcode result);

private:
    void set_up();
    static std::size_t on_body(char* data, std::size_t size, std::size_t count, void* user);
    static std::size_t on_header(char* line, std::size_t size, std::size_t count, void* user);

    std::string url_;
    const TransferOptions& options_;
    std::stop_token stop_;
    const PageFetcher::ProgressCallback& progress_;
    std::unique_ptr<CURL, EasyDeleter> easy_{curl_easy_init()};
    HeaderList headers_;
    char error_buffer_[CURL_ERROR_SIZE] = {};
    std::string body_;
    Utf8Validator validator_;
    std::size_t header_bytes_ = 0;
    std::chrono::steady_clock::time_point last_byte_ = std::chrono::steady_clock::now();
    Abort abort_ = Abort::None;
    bool length_read_ = false;
};

void Request::set_up() {
    headers_.append("Accept: text/html,*/*");
    headers_.append("Accept-Language: zh-CN,zh;q=0.9,en;q=0.8");
    CURL* e = easy_.get();
    set_option(e, CURLOPT_URL, url_.c_str());
    set_option(e, CURLOPT_ERRORBUFFER, error_buffer_);
    set_option(e, CURLOPT_PROTOCOLS_STR, "http,https");
    set_option(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    set_option(e, CURLOPT_DEFAULT_PROTOCOL, "http");
    set_option(e, CURLOPT_FOLLOWLOCATION, 1L);
    set_option(e, CURLOPT_MAXREDIRS, options_.max_redirects);
    set_option(e, CURLOPT_AUTOREFERER, 1L);
    set_option(e, CURLOPT_COOKIEFILE, "");       // cookies live as long as this handle
    set_option(e, CURLOPT_ACCEPT_ENCODING, "");  // every encoding this libcurl decodes
    set_option(e, CURLOPT_USERAGENT, kUserAgent.data());
    set_option(e, CURLOPT_HTTPHEADER, headers_.get());
    set_option(e, CURLOPT_FAILONERROR, 1L);
    set_option(e, CURLOPT_NOSIGNAL, 1L);
    set_option(e, CURLOPT_QUICK_EXIT, 1L);  // a cancelled name lookup is not waited for
    set_option(e, CURLOPT_SSL_VERIFYPEER, 1L);
    set_option(e, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!options_.ca_file.empty()) {
        set_option(e, CURLOPT_CAINFO, options_.ca_file.c_str());
    }
    set_option(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options_.connect_timeout.count()));
    set_option(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options_.max_document_bytes));
    set_option(e, CURLOPT_WRITEFUNCTION, on_body);
    set_option(e, CURLOPT_WRITEDATA, this);
    set_option(e, CURLOPT_HEADERFUNCTION, on_header);
    set_option(e, CURLOPT_HEADERDATA, this);
}

std::size_t Request::on_body(char* data, std::size_t size, std::size_t count, void* user) {
    auto& request = *static_cast<Request*>(user);
    std::string& body = request.body_;
    const std::size_t n = size * count;
    const std::size_t cap = request.options_.max_document_bytes;
    request.last_byte_ = std::chrono::steady_clock::now();
    if (request.stop_.stop_requested()) {
        request.abort_ = Abort::Cancelled;
        return CURL_WRITEFUNC_ERROR;
    }
    if (n > cap - body.size()) {
        request.abort_ = Abort::TooLarge;
        return CURL_WRITEFUNC_ERROR;
    }
    if (!request.length_read_) {
        // A declared length (exact unless compressed) spares the copies of growing.
        request.length_read_ = true;
        curl_off_t declared = -1;
        curl_easy_getinfo(request.easy_.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &declared);
        if (declared > 0) {
            body.reserve(std::min(cap, static_cast<std::size_t>(declared)));
        }
    }
    // Grow geometrically, never past the cap, and straight to the cap once past half of it:
    // a document near the cap is then copied once at most, and even a refused one never has
    // more than the cap in memory.
    if (body.size() + n > body.capacity()) {
        std::size_t grown = std::max(body.size() + n, body.capacity() * 2);
        if (grown > cap / 2) {
            grown = cap;
        }
        body.reserve(grown);
    }
    body.append(data, n);
    request.validator_.feed(std::string_view(data, n));
    if (request.progress_) {
        request.progress_(body.size());
    }
    return n;
}

// The header lines themselves are not needed, only how much arrives and when.
std::size_t Request::on_header(char* /*line*/, std::size_t size, std::size_t count, void* user) {
    auto& request = *static_cast<Request*>(user);
    const std::size_t n = size * count;
    request.last_byte_ = std::chrono::steady_clock::now();
    request.header_bytes_ += n;
    if (request.header_bytes_ > kMaxHeaderBytes) {
        request.abort_ = Abort::HeadersTooLong;
        return 0;
    }
    return n;
}

CURLcode Request::drive(CURLM* multi) {
    CURL* e = easy_.get();
    if (curl_multi_add_handle(multi, e) != CURLM_OK) {
        throw TransferError(CURLE_FAILED_INIT, describe_curl_error(CURLE_FAILED_INIT),
                            "curl_multi_add_handle failed");
    }
    struct Detach {
        CURLM* multi;
        CURL* easy;
        ~Detach() { curl_multi_remove_handle(multi, easy); }
    } detach{multi, e};

    for (;;) {
        int running = 0;
        const CURLMcode code = curl_multi_perform(multi, &running);
        if (code != CURLM_OK) {
            throw TransferError(CURLE_FAILED_INIT, curl_multi_strerror(code),
                                std::string("curl_multi_perform: ") + curl_multi_strerror(code));
        }
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
        if (std::chrono::steady_clock::now() - last_byte_ > options_.idle_timeout) {
            throw TransferError(
                CURLE_OPERATION_TIMEDOUT, "服务器响应超时（长时间没有收到数据）",
                "no data for " + std::to_string(options_.idle_timeout.count()) + " ms");
        }
        // Waits for the socket, curl's own timers, a wakeup from cancel(), or at most this
        // long, so the idle clock is looked at regularly.
        curl_multi_poll(multi, nullptr, 0, 200, nullptr);
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
        case Abort::None:
            break;
    }
    CURL* e = easy_.get();
    long status = 0;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
    const std::string detail =
        "libcurl " + std::to_string(result) + ": " +
        (error_buffer_[0] != '\0' ? error_buffer_ : curl_easy_strerror(result));
    if (result == CURLE_HTTP_RETURNED_ERROR || (result == CURLE_OK && status >= 400)) {
        throw TransferError(static_cast<int>(status), describe_http_status(status),
                            "HTTP status " + std::to_string(status) + " from " + url_);
    }
    switch (result) {
        case CURLE_OK:
            break;
        case CURLE_FILESIZE_EXCEEDED:
            throw_too_large(options_.max_document_bytes, detail);
        case CURLE_UNSUPPORTED_PROTOCOL:
            // Only http(s) addresses get this far, so with no status line at all the reply was
            // not HTTP (libcurl takes it for HTTP/0.9, which it refuses); after a status line
            // it is a redirect to another scheme.
            throw TransferError(
                result, status == 0 ? std::string(kNotHttpReply) : describe_curl_error(result),
                detail);
        case CURLE_OUT_OF_MEMORY:
            // libcurl keeps a single header line to 100 KB and reports a longer one this way.
            throw TransferError(
                result,
                header_bytes_ > 0 ? std::string(kHeadersTooLong) : describe_curl_error(result),
                detail);
        default:
            throw TransferError(result, describe_curl_error(result), detail);
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

struct CurlTransfer::MultiHandle {
    MultiHandle() : handle(curl_multi_init()) {
        if (handle == nullptr) {
            throw std::runtime_error("curl_multi_init failed");
        }
    }
    ~MultiHandle() { curl_multi_cleanup(handle); }
    MultiHandle(const MultiHandle&) = delete;
    MultiHandle& operator=(const MultiHandle&) = delete;
    CURLM* handle;
};

void CurlTransfer::global_init() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
            throw std::runtime_error("curl_global_init failed");
        }
    });
}

CurlTransfer::CurlTransfer(TransferOptions options) : options_(std::move(options)) {
    global_init();
    multi_ = std::make_unique<MultiHandle>();
}

CurlTransfer::~CurlTransfer() = default;

void CurlTransfer::set_protocol(Protocol protocol) {
    protocol_ = protocol;
}

void CurlTransfer::set_progress_callback(ProgressCallback callback) {
    progress_ = std::move(callback);
}

void CurlTransfer::cancel() {
    stop_.request_stop();
    curl_multi_wakeup(multi_->handle);
}

void CurlTransfer::reset_cancel() {
    stop_ = std::stop_source();
}

std::string CurlTransfer::open_url(const std::string& address) {
    const std::stop_token stop = stop_.get_token();
    FetchedDocument document = fetch(address);
    std::string text = decode_html_bytes(std::move(document.body), document.content_type,
                                         document.body_is_valid_utf8, stop)
                           .text;
    // A cancel that came after the last byte still counts.
    if (stop.stop_requested()) {
        throw TransferCancelled();
    }
    if (options_.before_delivery) {
        options_.before_delivery();
    }
    return text;
}

FetchedDocument CurlTransfer::fetch(const std::string& address) {
    std::stop_token stop = stop_.get_token();
    if (stop.stop_requested()) {
        throw TransferCancelled();
    }
    Request request(normalize_address(address), options_, std::move(stop), progress_);
    return request.outcome(request.drive(multi_->handle));
}

}  // namespace marlowin
