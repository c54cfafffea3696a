#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "decoding/utf8_validator.h"
#include "transfer/content_decoder.h"
#include "transfer/error_catalogue.h"

namespace marlowin {

/// A document as it came off the wire, before decoding.
struct FetchedDocument {
    std::string body;          ///< after content decoding (gzip and the like)
    std::string content_type;  ///< of the final response; empty when the server sent none
    bool body_is_valid_utf8 = false;
};

/// The head of one response as libcurl parsed it: its status, and each instance of the
/// headers the reader's rules look at, as sent.
struct ResponseHead {
    long status = 0;
    std::vector<std::string> locations;
    std::vector<std::string> content_encodings;
    std::vector<std::string> content_lengths;
};

/// The most header bytes the responses to one request may hold: below the 300 KB libcurl itself
/// allows, so that the person gets this precise report.
inline constexpr std::size_t kMaxHeaderBytes = std::size_t{256} << 10;

/**
 * The rules of one request's responses, with header lines and body bytes in and a verdict out:
 * the limits of a head and of a document (counted after decompression), the content codings
 * undone, the UTF-8 check of the body, and where a redirect leads. It knows nothing of libcurl,
 * so that each rule is judged on the bytes alone.
 */
class ResponseReader {
public:
    enum class Line { More, HeadEnded, Refused };
    enum class Head { ReadBody, AwaitFinal, Redirect, Refused };

    /// A rule a response broke: raise() throws it as the TransferError it is.
    struct Refusal {
        std::optional<Failure> failure;  ///< else libcurl's code names it
        CURLcode code = CURLE_OK;
        std::string detail;
        [[noreturn]] void raise(std::size_t cap) const;
    };

    explicit ResponseReader(std::size_t max_document_bytes) : cap_(max_document_bytes) {}

    /// One header line, its line break included, of any response to the request.
    Line header_line(std::string_view line);
    /// What to do once a head has ended: read its body, wait for the final response after an
    /// informational one, follow its redirect, or refuse it.
    Head head_ended(const ResponseHead& head);
    /// The next bytes of the final response's body, as they came off the wire; false stops the
    /// transfer (the body is refused or over the cap).
    bool body(std::string_view bytes);
    /// The transfer ended without a fault of its own: the document, unless the body's coding
    /// did not end where it should or the document is over the cap (then refusal() says why).
    std::optional<FetchedDocument> finish(std::string content_type);

    [[nodiscard]] const std::optional<Refusal>& refusal() const { return refusal_; }
    /// Where the redirect leads, as its Location was sent.
    [[nodiscard]] const std::string& location() const { return location_; }
    [[nodiscard]] bool head_complete() const { return head_complete_; }
    [[nodiscard]] bool body_started() const { return body_started_; }
    [[nodiscard]] std::size_t header_bytes() const { return header_bytes_; }
    [[nodiscard]] std::size_t cap() const { return cap_; }
    /// The status of the last head that ended.
    [[nodiscard]] long status() const { return status_; }

private:
    bool refuse(Failure failure, std::string detail);
    bool refuse(CURLcode code, std::string detail);
    bool keep(std::string_view piece);

    std::size_t cap_;
    std::size_t header_bytes_ = 0;
    std::size_t declared_length_ = 0;  // of the final response, when it declared one
    long status_ = 0;
    bool head_complete_ = false;  // of the final response
    bool body_started_ = false;
    std::string location_;
    std::optional<ContentDecoder> decoder_;
    std::string body_;
    Utf8Validator validator_;
    std::optional<Refusal> refusal_;
};

}  // namespace marlowin
