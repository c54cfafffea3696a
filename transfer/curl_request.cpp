#include "transfer/curl_request.h"

#if !defined(_WIN32)
#include <sys/ioctl.h>
#include <sys/select.h>
#endif

#include <algorithm>

#include "transfer/error_catalogue.h"
#include "transfer/request_options.h"
#include "transfer/request_outcome.h"
#include "workflow/transfer_error.h"

namespace marlowin {

namespace {

// How long one wait for the network may last: the silence clock is looked at this often.
constexpr int kPollMs = 100;

void check_multi(CURLMcode code, const char* call) {
    if (code != CURLM_OK) {
        fail_curl(CURLE_FAILED_INIT, std::string(call) + ": " + curl_multi_strerror(code));
    }
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

// Every value of header @p name in the final response's head, as libcurl parsed it.
std::vector<std::string> header_values(CURL* easy, const char* name) {
    std::vector<std::string> values;
    curl_header* header = nullptr;
    for (std::size_t index = 0;
         curl_easy_header(easy, name, index, CURLH_HEADER, -1, &header) == CURLHE_OK; ++index) {
        values.emplace_back(header->value);
        if (index + 1 >= header->amount) {
            break;
        }
    }
    return values;
}

}  // namespace

CurlRequest::CurlRequest(Retrieval& retrieval, std::string url, ProxyRoute route)
    : retrieval_(retrieval),
      url_(std::move(url)),
      route_(std::move(route)),
      reader_(retrieval.options.max_document_bytes),
      raw_seen_(retrieval.received),
      received_(retrieval.received) {
    if (!easy_) {
        fail_curl(CURLE_FAILED_INIT, "curl_easy_init failed");
    }
    CURL* easy = easy_.get();
    set_request_options(easy, url_, route_, retrieval.options, retrieval.cookies, headers_);
    if (retrieval.customize) {
        retrieval.customize(easy);
    }
    const auto set = [easy](CURLoption option, auto value) {
        if (const CURLcode code = curl_easy_setopt(easy, option, value); code != CURLE_OK) {
            fail_curl(code, "curl_easy_setopt");
        }
    };
    set(CURLOPT_ERRORBUFFER, error_buffer_);
    set(CURLOPT_WRITEFUNCTION, on_body);
    set(CURLOPT_WRITEDATA, this);
    set(CURLOPT_HEADERFUNCTION, on_header);
    set(CURLOPT_HEADERDATA, this);
}

ResponseHead CurlRequest::read_head() {
    ResponseHead head;
    curl_easy_getinfo(easy_.get(), CURLINFO_RESPONSE_CODE, &head.status);
    if (head.status >= 200) {
        head.locations = header_values(easy_.get(), "location");
        head.content_encodings = header_values(easy_.get(), "content-encoding");
        head.content_lengths = header_values(easy_.get(), "content-length");
    }
    return head;
}

// Each header line counts against the head's limit; at a head's end, the reader decides
// whether its body is read.
std::size_t CurlRequest::on_header(char* line, std::size_t size, std::size_t count, void* user) {
    auto& request = *static_cast<CurlRequest*>(user);
    const std::size_t n = size * count;
    request.last_arrival_ = Clock::now();
    switch (request.reader_.header_line(std::string_view(line, n))) {
        case ResponseReader::Line::More:
            return n;
        case ResponseReader::Line::Refused:
            return 0;
        case ResponseReader::Line::HeadEnded:
            break;
    }
    const ResponseReader::Head verdict = request.reader_.head_ended(request.read_head());
    return verdict == ResponseReader::Head::ReadBody || verdict == ResponseReader::Head::AwaitFinal
               ? n
               : 0;
}

std::size_t CurlRequest::on_body(char* data, std::size_t size, std::size_t count, void* user) {
    auto& request = *static_cast<CurlRequest*>(user);
    const std::size_t n = size * count;
    request.last_arrival_ = Clock::now();
    if (request.retrieval_.stop.stop_requested()) {
        request.cancelled_ = true;
        return CURL_WRITEFUNC_ERROR;
    }
    return request.reader_.body(std::string_view(data, n)) ? n : CURL_WRITEFUNC_ERROR;
}

// The socket woke the wait: what waits on it for libcurl is new, unless it waited already.
// count_arrivals() restarts the silence clock when this count grows.
void CurlRequest::note_unread(CURLM* multi) {
    const std::size_t unread = unread_bytes(multi);
    raw_seen_ += unread - std::min(unread, left_unread_);
}

// What has arrived so far, counted in raw bytes off the wire (compressed, headers included),
// restarts the silence clock and goes to the progress callback.
void CurlRequest::count_arrivals() {
    curl_off_t body_raw = 0;
    curl_easy_getinfo(easy_.get(), CURLINFO_SIZE_DOWNLOAD_T, &body_raw);
    const std::size_t counted = retrieval_.received + reader_.header_bytes() +
                                static_cast<std::size_t>(std::max<curl_off_t>(body_raw, 0));
    const std::size_t received = std::max(raw_seen_, counted);
    if (received > received_) {
        received_ = received;
        last_arrival_ = Clock::now();
        if (retrieval_.progress) {
            retrieval_.progress(received, false);
        }
    }
}

CURLcode CurlRequest::drive(CURLM* multi) {
    CURL* easy = easy_.get();
    check_multi(curl_multi_add_handle(multi, easy), "curl_multi_add_handle");
    struct Detach {
        CURLM* multi;
        CURL* easy;
        ~Detach() { curl_multi_remove_handle(multi, easy); }
    } detach{multi, easy};

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
                if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) {
                    result = msg->data.result;
                }
            }
            return result;
        }
        if (retrieval_.stop.stop_requested()) {
            throw TransferCancelled();
        }
        const auto silence = retrieval_.options.idle_timeout;
        if (Clock::now() - last_arrival_ > silence) {
            fail(Failure::Silence, "no data for " + std::to_string(silence.count()) + " ms");
        }
        // Waits for the socket, libcurl's own timers, a wake-up from a cancel, or at most
        // kPollMs.
        int events = 0;
        check_multi(curl_multi_poll(multi, nullptr, 0, kPollMs, &events), "curl_multi_poll");
        if (events > 0) {
            note_unread(multi);
        }
    }
}

RequestEnd CurlRequest::run(CURLM* multi) {
    const CURLcode result = drive(multi);
    retrieval_.received = received_;
    if (cancelled_) {
        throw TransferCancelled();
    }
    if (!reader_.location().empty() && !reader_.refusal()) {
        return {reader_.location(), {}};
    }
    RequestFacts facts{result, error_buffer_, reader_, route_, url_};
    curl_easy_getinfo(easy_.get(), CURLINFO_HTTP_CONNECTCODE, &facts.tunnel_status);
    curl_easy_getinfo(easy_.get(), CURLINFO_RESPONSE_CODE, &facts.status);
    facts.received = received_;
    raise_request_failure(facts);
    const char* content_type = nullptr;
    curl_easy_getinfo(easy_.get(), CURLINFO_CONTENT_TYPE, &content_type);
    std::optional<FetchedDocument> document =
        reader_.finish(content_type != nullptr ? content_type : "");
    if (!document) {
        reader_.refusal()->raise(retrieval_.options.max_document_bytes);
    }
    return {std::nullopt, std::move(*document)};
}

}  // namespace marlowin
