#include "decoding/html_decoding.h"

#include <algorithm>
#include <utility>

#include "decoding/charset_detector.h"
#include "decoding/encoding_sniffing.h"
#include "decoding/text_decoder.h"
#include "decoding/utf8_validator.h"

namespace marlowin {

namespace {

bool is_non_ascii(char c) {
    return static_cast<unsigned char>(c) >= 0x80;
}

// One page's decoding, with what is learnt about its bytes kept for the next rule.
class PageDecoding {
public:
    PageDecoding(std::string&& bytes, std::optional<bool> valid_utf8, const std::stop_token& stop)
        : bytes_(std::move(bytes)), valid_utf8_(valid_utf8), stop_(stop) {}

    // The page read in @p encoding; the bytes are given up on the way, to keep the memory
    // a page costs to its bytes and its text.
    DecodedPage in(const Encoding& encoding, EncodingSource source) {
        if (encoding.kind == DecoderKind::Utf8 && valid_utf8_.value_or(false)) {
            return {std::move(bytes_), &encoding, source};
        }
        return {decode_bytes(encoding, std::move(bytes_), stop_).text, &encoding, source};
    }

    bool valid_utf8() {
        if (!valid_utf8_) {
            valid_utf8_ = is_valid_utf8(bytes_, stop_);
        }
        return *valid_utf8_;
    }

    // Well-formed UTF-8 that no legacy encoding would have written by chance.
    bool multi_byte_utf8() {
        return valid_utf8() && std::any_of(bytes_.begin(), bytes_.end(), is_non_ascii);
    }

    // What the page itself declares: a <meta>, early or late, or its XML declaration.
    std::pair<const Encoding*, EncodingSource> own_declaration() const {
        if (const Encoding* early = prescan_for_meta_charset(bytes_)) {
            return {early, EncodingSource::MetaPrescan};
        }
        if (const Encoding* late = late_meta_charset(bytes_, stop_)) {
            return {late, EncodingSource::LateMeta};
        }
        return {xml_declaration_charset(bytes_), EncodingSource::XmlDeclaration};
    }

    // The header names UTF-8, but the bytes are not well-formed UTF-8: the page's own
    // declaration, or else a guess (which still says UTF-8 for UTF-8 text with a stray byte).
    DecodedPage contradicted_utf8() {
        if (const auto [declared, source] = own_declaration();
            declared != nullptr && declared->id != EncodingId::Utf8) {
            return in(*declared, source);
        }
        return guessed();
    }

    // The header names windows-1252: a CJK encoding the page declares, if its bytes fit it.
    std::optional<DecodedPage> cjk_instead_of_western() {
        const auto [declared, source] = own_declaration();
        if (declared == nullptr || declared->width != Width::MultiByte) {
            return std::nullopt;
        }
        DecodeResult in_declared = decode_bytes(*declared, std::string_view(bytes_), stop_);
        if (in_declared.malformed != 0) {
            return std::nullopt;
        }
        return DecodedPage{std::move(in_declared.text), declared, source};
    }

    // Bytes nothing declares rightly: the detector's multi-byte guess, else GB18030 when it
    // reads them cleanly, else the detector's other guess, else windows-1252.
    DecodedPage guessed() {
        const Encoding* guess = guess_encoding(bytes_, stop_);
        if (guess != nullptr && guess->width != Width::SingleByte) {
            return in(*guess, EncodingSource::Detector);
        }
        // The detector takes short GBK text, such as a page that is little more than a title,
        // for a Latin encoding; GB18030 reads such bytes without a single malformed sequence.
        const Encoding& gb18030 = encoding(EncodingId::Gb18030);
        DecodeResult as_gb18030 = decode_bytes(gb18030, std::string_view(bytes_), stop_);
        if (as_gb18030.malformed == 0) {
            return {std::move(as_gb18030.text), &gb18030, EncodingSource::Gb18030Check};
        }
        as_gb18030 = {};
        if (guess != nullptr) {
            return in(*guess, EncodingSource::Detector);
        }
        return in(encoding(EncodingId::Windows1252), EncodingSource::Default);
    }

    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
    std::optional<bool> valid_utf8_;
    const std::stop_token& stop_;
};

}  // namespace

DecodedPage decode_html_bytes(std::string bytes, std::string_view content_type,
                              std::optional<bool> known_valid_utf8, const std::stop_token& stop) {
    if (const auto bom = sniff_byte_order_mark(bytes)) {
        bytes.erase(0, bom->length);
        return PageDecoding(std::move(bytes), known_valid_utf8, stop)
            .in(*bom->encoding, EncodingSource::ByteOrderMark);
    }
    PageDecoding page(std::move(bytes), known_valid_utf8, stop);
    const Encoding& utf8 = encoding(EncodingId::Utf8);

    // A server's default charset and the page it serves often disagree on the Chinese web;
    // where the bytes themselves prove the header wrong, they win.
    if (const Encoding* header = charset_from_content_type(content_type)) {
        if (header->width != Width::Unicode && page.multi_byte_utf8()) {
            return page.in(utf8, EncodingSource::Utf8Check);
        }
        if (header->id == EncodingId::Utf8 && !page.valid_utf8()) {
            return page.contradicted_utf8();
        }
        if (header->id == EncodingId::Windows1252) {
            if (auto cjk = page.cjk_instead_of_western()) {
                return std::move(*cjk);
            }
        }
        return page.in(*header, EncodingSource::ContentType);
    }
    if (const Encoding* declared = prescan_for_meta_charset(page.bytes())) {
        return page.in(*declared, EncodingSource::MetaPrescan);
    }

    // Undeclared in the first kilobyte.
    if (page.multi_byte_utf8()) {
        return page.in(utf8, EncodingSource::Utf8Check);
    }
    if (const Encoding* declared = late_meta_charset(page.bytes(), stop)) {
        return page.in(*declared, EncodingSource::LateMeta);
    }
    // An XML declaration holds as a <meta> would, but a UTF-8 one the bytes are not is wrong.
    if (const Encoding* declared = xml_declaration_charset(page.bytes());
        declared != nullptr && (declared->id != EncodingId::Utf8 || page.valid_utf8())) {
        return page.in(*declared, EncodingSource::XmlDeclaration);
    }
    if (page.valid_utf8()) {
        return page.in(utf8, EncodingSource::Utf8Check);
    }
    return page.guessed();
}

}  // namespace marlowin
