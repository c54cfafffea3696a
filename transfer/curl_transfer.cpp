#include "transfer/curl_transfer.h"

#include <curl/curl.h>

#include <algorithm>
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

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;
using HeaderList = std::unique_ptr<curl_slist, ListDeleter>;

enum class Abort { None, Cancelled, TooLarge, HeadersTooLong };

// What the callbacks share with the loop that drives the transfer (all on one thread).
struct TransferState {
    CURL* easy = nullptr;
    const std::atomic<bool>* cancel_requested = nullptr;
    const CurlTransfer::ProgressCallback* progress = nullptr;
    std::size_t max_bytes = 0;
    std::string body;
    std::size_t header_bytes = 0;
    Utf8Validator validator;
    std::chrono::steady_clock::time_point last_byte = std::chrono::steady_clock::now();
    Abort abort = Abort::None;
    bool length_read = false;
};

std::size_t on_body(char* data, std::size_t size, std::size_t count, void* user) {
    auto& state = *static_cast<TransferState*>(user);
    const std::size_t n = size * count;
    state.last_byte = std::chrono::steady_clock::now();
    if (state.cancel_requested->load(std::memory_order_relaxed)) {
        state.abort = Abort::Cancelled;
        return CURL_WRITEFUNC_ERROR;
    }
    if (n > state.max_bytes - state.body.size()) {
        state.abort = Abort::TooLarge;
        return CURL_WRITEFUNC_ERROR;
    }
    if (!state.length_read) {
        // A declared length (exact unless compressed) spares the copies of growing.
        state.length_read = true;
        curl_off_t declared = -1;
        curl_easy_getinfo(state.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &declared);
        if (declared > 0) {
            state.body.reserve(std::min(state.max_bytes, static_cast<std::size_t>(declared)));
        }
    }
    // Grow geometrically, never past the cap, and straight to the cap once past half of it:
    // a document near the cap is then copied once at most, and even a refused one never has
    // more than the cap in memory.
    if (state.body.size() + n > state.body.capacity()) {
        std::size_t grown = std::max(state.body.size() + n, state.body.capacity() * 2);
        if (grown > state.max_bytes / 2) {
            grown = state.max_bytes;
        }
        state.body.reserve(grown);
    }
    state.body.append(data, n);
    state.validator.feed(std::string_view(data, n));
    if (*state.progress) {
        (*state.progress)(state.body.size());
    }
    return n;
}

// The header lines themselves are not needed, only how much arrives and when.
std::size_t on_header(char* /*line*/, std::size_t size, std::size_t count, void* user) {
    auto& state = *static_cast<TransferState*>(user);
    const std::size_t n = size * count;
    state.last_byte = std::chrono::steady_clock::now();
    state.header_bytes += n;
    if (state.header_bytes > kMaxHeaderBytes) {
        state.abort = Abort::HeadersTooLong;
        return 0;
    }
    return n;
}

[[noreturn]] void throw_curl_error(CURLcode code, const char* error_buffer) {
    std::string detail = error_buffer[0] != '\0' ? error_buffer : curl_easy_strerror(code);
    throw TransferError(code, describe_curl_error(code),
                        "libcurl " + std::to_string(code) + ": " + detail);
}

// The report of a document over the cap, whether libcurl saw it coming from the declared
// length or the body callback found it while counting.
[[noreturn]] void throw_too_large(std::size_t cap, std::string detail) {
    throw TransferError(CURLE_FILESIZE_EXCEEDED,
                        "文档太大（超过 " + std::to_string(cap >> 20) + " MiB），已拒绝接收",
                        std::move(detail));
}

template <typename T>
void set_option(CURL* easy, CURLoption option, T value) {
    const CURLcode code = curl_easy_setopt(easy, option, value);
    if (code != CURLE_OK) {
        throw TransferError(code, describe_curl_error(code),
                            std::string("curl_easy_setopt: ") + curl_easy_strerror(code));
    }
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
    cancel_requested_.store(true);
    curl_multi_wakeup(multi_->handle);
}

void CurlTransfer::reset_cancel() {
    cancel_requested_.store(false);
}

std::string CurlTransfer::open_url(const std::string& address) {
    FetchedDocument document = fetch(address);
    return decode_html_bytes(std::move(document.body), document.content_type,
                             document.body_is_valid_utf8)
        .text;
}

FetchedDocument CurlTransfer::fetch(const std::string& address) {
    if (cancel_requested_.load()) {
        throw TransferCancelled();
    }
    const std::string url = normalize_address(address);

    Easy easy(curl_easy_init());
    if (!easy) {
        throw TransferError(CURLE_FAILED_INIT, describe_curl_error(CURLE_FAILED_INIT),
                            "curl_easy_init failed");
    }
    TransferState state;
    state.easy = easy.get();
    state.cancel_requested = &cancel_requested_;
    state.progress = &progress_;
    state.max_bytes = options_.max_document_bytes;
    char error_buffer[CURL_ERROR_SIZE] = {};

    HeaderList headers;
    for (const char* line : {"Accept: text/html,*/*", "Accept-Language: zh-CN,zh;q=0.9,en;q=0.8"}) {
        curl_slist* grown = curl_slist_append(headers.get(), line);
        if (grown == nullptr) {
            throw TransferError(CURLE_OUT_OF_MEMORY, describe_curl_error(CURLE_OUT_OF_MEMORY));
        }
        static_cast<void>(headers.release());
        headers.reset(grown);
    }

    CURL* e = easy.get();
    set_option(e, CURLOPT_URL, url.c_str());
    set_option(e, CURLOPT_ERRORBUFFER, error_buffer);
    set_option(e, CURLOPT_PROTOCOLS_STR, "http,https");
    set_option(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    set_option(e, CURLOPT_DEFAULT_PROTOCOL, "http");
    set_option(e, CURLOPT_FOLLOWLOCATION, 1L);
    set_option(e, CURLOPT_MAXREDIRS, options_.max_redirects);
    set_option(e, CURLOPT_AUTOREFERER, 1L);
    set_option(e, CURLOPT_COOKIEFILE, "");       // cookies live as long as this handle
    set_option(e, CURLOPT_ACCEPT_ENCODING, "");  // every encoding this libcurl decodes
    set_option(e, CURLOPT_USERAGENT, kUserAgent.data());
    set_option(e, CURLOPT_HTTPHEADER, headers.get());
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
    set_option(e, CURLOPT_WRITEDATA, &state);
    set_option(e, CURLOPT_HEADERFUNCTION, on_header);
    set_option(e, CURLOPT_HEADERDATA, &state);

    CURLM* multi = multi_->handle;
    if (curl_multi_add_handle(multi, e) != CURLM_OK) {
        throw TransferError(CURLE_FAILED_INIT, describe_curl_error(CURLE_FAILED_INIT),
                            "curl_multi_add_handle failed");
    }
    struct Detach {
        CURLM* multi;
        CURL* easy;
        ~Detach() { curl_multi_remove_handle(multi, easy); }
    } detach{multi, e};

    CURLcode result = CURLE_OK;
    for (;;) {
        int running = 0;
        const CURLMcode code = curl_multi_perform(multi, &running);
        if (code != CURLM_OK) {
            throw TransferError(CURLE_FAILED_INIT, curl_multi_strerror(code),
                                std::string("curl_multi_perform: ") + curl_multi_strerror(code));
        }
        if (running == 0) {
            int queued = 0;
            for (CURLMsg* msg = curl_multi_info_read(multi, &queued); msg != nullptr;
                 msg = curl_multi_info_read(multi, &queued)) {
                if (msg->msg == CURLMSG_DONE && msg->easy_handle == e) {
                    result = msg->data.result;
                }
            }
            break;
        }
        if (cancel_requested_.load()) {
            throw TransferCancelled();
        }
        if (std::chrono::steady_clock::now() - state.last_byte > options_.idle_timeout) {
            throw TransferError(
                CURLE_OPERATION_TIMEDOUT, "服务器响应超时（长时间没有收到数据）",
                "no data for " + std::to_string(options_.idle_timeout.count()) + " ms");
        }
        // Waits for the socket, curl's own timers, a wakeup from cancel(), or at most this
        // long, so the idle clock is looked at regularly.
        curl_multi_poll(multi, nullptr, 0, 200, nullptr);
    }

    switch (state.abort) {
        case Abort::Cancelled:
            throw TransferCancelled();
        case Abort::TooLarge:
            throw_too_large(
                options_.max_document_bytes,
                "document larger than " + std::to_string(options_.max_document_bytes) + " bytes");
        case Abort::HeadersTooLong:
            throw TransferError(
                CURLE_RECV_ERROR, "服务器发送的响应头过长，已停止接收",
                "response headers longer than " + std::to_string(kMaxHeaderBytes) + " bytes");
        case Abort::None:
            break;
    }
    long status = 0;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
    if (result == CURLE_HTTP_RETURNED_ERROR || (result == CURLE_OK && status >= 400)) {
        throw TransferError(static_cast<int>(status), describe_http_status(status),
                            "HTTP status " + std::to_string(status) + " from " + url);
    }
    if (result == CURLE_FILESIZE_EXCEEDED) {
        throw_too_large(options_.max_document_bytes, error_buffer);
    }
    if (result != CURLE_OK) {
        throw_curl_error(result, error_buffer);
    }

    FetchedDocument document;
    const char* content_type = nullptr;
    curl_easy_getinfo(e, CURLINFO_CONTENT_TYPE, &content_type);
    document.content_type = content_type != nullptr ? content_type : "";
    document.status = status;
    document.body_is_valid_utf8 = state.validator.valid();
    document.body = std::move(state.body);
    return document;
}

}  // namespace marlowin
