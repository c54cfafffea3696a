#include "transfer/response_reader.h"

#include <algorithm>
#include <charconv>

#include "base/ascii.h"
#include "base/large_text.h"
#include "base/list_entries.h"
#include "workflow/transfer_error.h"

namespace marlowin {

namespace {

// The statuses a browser follows the Location of.
bool is_redirect(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The one length that every Content-Length value declares (a value may be a list of them);
// nullopt when two disagree, 0 when none is a number.
std::optional<std::size_t> agreed_length(const std::vector<std::string>& values) {
    std::optional<std::string_view> agreed;
    bool disagree = false;
    for (const std::string& value : values) {
        any_entry(value, ", \t", [&](std::string_view entry) {
            disagree = agreed && *agreed != entry;
            agreed = entry;
            return disagree;
        });
        if (disagree) {
            return std::nullopt;
        }
    }
    std::size_t length = 0;
    if (agreed) {
        std::from_chars(agreed->data(), agreed->data() + agreed->size(), length);
    }
    return length;
}

// A Location that names this very document: nothing, or only a fragment of it.
bool names_this_document(std::string_view location) {
    location = ascii::trim(location);
    return location.empty() || location.front() == '#';
}

}  // namespace

void ResponseReader::Refusal::raise(std::size_t cap) const {
    if (failure) {
        fail(*failure, detail, cap);
    }
    fail_curl(code, detail);
}

bool ResponseReader::refuse(Failure failure, std::string detail) {
    refusal_ = Refusal{failure, CURLE_OK, std::move(detail)};
    return false;
}

bool ResponseReader::refuse(CURLcode code, std::string detail) {
    refusal_ = Refusal{std::nullopt, code, std::move(detail)};
    return false;
}

ResponseReader::Line ResponseReader::header_line(std::string_view line) {
    header_bytes_ += line.size();
    if (header_bytes_ > kMaxHeaderBytes) {
        refuse(Failure::HeadersTooLong,
               "response headers longer than " + std::to_string(kMaxHeaderBytes) + " bytes");
        return Line::Refused;
    }
    return line == "\r\n" || line == "\n" ? Line::HeadEnded : Line::More;
}

ResponseReader::Head ResponseReader::head_ended(const ResponseHead& head) {
    status_ = head.status;
    if (head.status == 101) {  // nothing asked for another protocol
        refuse(Failure::SwitchedProtocols, "101 Switching Protocols to a plain GET");
        return Head::Refused;
    }
    if (head.status < 200) {
        return Head::AwaitFinal;  // 100 Continue and the like: the real response follows
    }
    head_complete_ = true;
    // Two lengths that differ leave the document's end unknown: libcurl would take the last
    // and cut the page short, so the response is refused, as browsers refuse it.
    const std::optional<std::size_t> declared = agreed_length(head.content_lengths);
    if (!declared) {
        refuse(Failure::ConflictingLengths, "Content-Length headers that disagree");
        return Head::Refused;
    }
    if (is_redirect(head.status) && !head.locations.empty()) {
        if (std::any_of(head.locations.begin(), head.locations.end(),
                        [&](const std::string& other) { return other != head.locations[0]; })) {
            refuse(Failure::TwoLocations, "Location headers that differ");
            return Head::Refused;
        }
        // A redirect's body is never read, but one to this very document would only come
        // back here: its own body is the page.
        if (!names_this_document(head.locations[0])) {
            location_ = head.locations[0];
            return Head::Redirect;
        }
    }
    if (*declared > cap_) {
        refuse(Failure::TooLarge, "document larger than " + std::to_string(cap_) + " bytes");
        return Head::Refused;
    }
    declared_length_ = *declared;
    std::string codings;
    for (const std::string& value : head.content_encodings) {
        codings += value + ',';
    }
    decoder_.emplace(codings);
    return Head::ReadBody;
}

bool ResponseReader::body(std::string_view bytes) {
    if (!body_started_) {
        // A declared length (exact unless compressed) spares the copies of growing.
        body_started_ = true;
        reserve_large_text(body_, std::min(cap_, declared_length_));
    }
    if (!decoder_) {
        return refuse(CURLE_WEIRD_SERVER_REPLY, "a body before any final status");
    }
    const ContentDecoder::Result result =
        decoder_->feed(bytes, [this](std::string_view piece) { return keep(piece); });
    if (result == ContentDecoder::Result::Broken) {
        return refuse(CURLE_BAD_CONTENT_ENCODING, "the compressed body does not decode");
    }
    return result == ContentDecoder::Result::Ok;
}

// A piece of the decoded document, counted against the cap.
bool ResponseReader::keep(std::string_view piece) {
    if (piece.size() > cap_ - body_.size()) {
        return refuse(Failure::TooLarge, "document larger than " + std::to_string(cap_) + " bytes");
    }
    // Grow geometrically, never past the cap, and straight to the cap once past half of it:
    // a document near the cap is then copied once at most, and even a refused one never has
    // more than the cap in memory.
    if (body_.size() + piece.size() > body_.capacity()) {
        std::size_t grown = std::max(body_.size() + piece.size(), body_.capacity() * 2);
        if (grown > cap_ / 2) {
            grown = cap_;
        }
        reserve_large_text(body_, grown);
    }
    body_.append(piece);
    validator_.feed(piece);
    return true;
}

std::optional<FetchedDocument> ResponseReader::finish(std::string content_type) {
    const ContentDecoder::Result ending =
        decoder_ ? decoder_->finish([this](std::string_view piece) { return keep(piece); })
                 : ContentDecoder::Result::Ok;
    if (ending == ContentDecoder::Result::Broken) {
        refuse(CURLE_BAD_CONTENT_ENCODING, "the compressed body ends before its coding does");
    }
    if (refusal_) {
        return std::nullopt;
    }
    FetchedDocument document;
    document.content_type = std::move(content_type);
    document.body_is_valid_utf8 = validator_.valid();
    document.body = std::move(body_);
    return document;
}

}  // namespace marlowin
