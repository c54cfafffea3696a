#include "decoding/utf8_validator.h"

#include <cstring>

#include "decoding/decoding_error.h"
#include "decoding/utf8_bulk.h"

namespace marlowin {

namespace {

// How far back from the end a character may still be incomplete: the returned length covers
// only whole characters (or bytes that are invalid anyway), so it can be checked on its own.
std::size_t whole_characters(const unsigned char* data, std::size_t length) {
    for (std::size_t back = 1; back <= 3 && back <= length; ++back) {
        const unsigned char b = data[length - back];
        if ((b & 0xC0) == 0x80) {
            continue;  // a continuation byte: look further back for its lead
        }
        if (b >= 0xC0) {
            const std::size_t size = b >= 0xF0 ? 4 : (b >= 0xE0 ? 3 : 2);
            if (size > back) {
                return length - back;
            }
        }
        break;
    }
    return length;
}

}  // namespace

void Utf8Validator::feed(std::string_view bytes) {
    if (failed_) {
        return;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();

    // Finish a character left open by the previous piece, then check the whole characters
    // of this piece in bulk where possible; what is left (at most three bytes) goes through
    // the byte-wise path below so it can carry over to the next piece.
    while (needed_ > 0 && p < end) {
        if (!accept_continuation(*p++)) {
            return;
        }
    }
    if (needed_ == 0 && end - p >= 64) {
        const std::size_t whole = whole_characters(p, static_cast<std::size_t>(end - p));
        switch (check_utf8_in_bulk(p, whole)) {
            case BulkCheck::IllFormed:
                failed_ = true;
                return;
            case BulkCheck::WellFormed:
                p += whole;
                break;
            case BulkCheck::Unavailable:
                break;
        }
    }

    while (p < end) {
        if (needed_ == 0) {
            // Most pages are mostly ASCII: skip eight bytes at a time while none has its top bit.
            while (end - p >= 8) {
                std::uint64_t word = 0;
                std::memcpy(&word, p, sizeof word);
                if ((word & 0x8080808080808080ULL) != 0) {
                    break;
                }
                p += 8;
            }
            if (p == end) {
                break;
            }
            const unsigned char b = *p++;
            if (b < 0x80) {
                continue;
            }
            // Lead bytes and the range of the first continuation byte, following the table
            // of well-formed sequences in the Unicode standard.
            lower_ = 0x80;
            upper_ = 0xBF;
            if (b >= 0xC2 && b <= 0xDF) {
                needed_ = 1;
            } else if (b >= 0xE0 && b <= 0xEF) {
                needed_ = 2;
                lower_ = b == 0xE0 ? 0xA0 : 0x80;
                upper_ = b == 0xED ? 0x9F : 0xBF;
            } else if (b >= 0xF0 && b <= 0xF4) {
                needed_ = 3;
                lower_ = b == 0xF0 ? 0x90 : 0x80;
                upper_ = b == 0xF4 ? 0x8F : 0xBF;
            } else {
                failed_ = true;
                return;
            }
            continue;
        }
        if (!accept_continuation(*p++)) {
            return;
        }
    }
}

bool Utf8Validator::accept_continuation(unsigned char b) {
    if (b < lower_ || b > upper_) {
        failed_ = true;
        return false;
    }
    lower_ = 0x80;
    upper_ = 0xBF;
    --needed_;
    return true;
}

bool is_valid_utf8(std::string_view bytes, const std::stop_token& stop) {
    // A megabyte at a time, so that a stop request is seen within a millisecond or so.
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    Utf8Validator validator;
    for (std::size_t at = 0; at < bytes.size(); at += kPiece) {
        if (stop.stop_requested()) {
            throw DecodingCancelled();
        }
        validator.feed(bytes.substr(at, kPiece));
    }
    return validator.valid();
}

}  // namespace marlowin
