#include "transfer/html_decoding.h"

#include "transfer/charset_detector.h"
#include "transfer/encoding_sniffing.h"
#include "transfer/text_decoder.h"
#include "transfer/utf8_validator.h"

namespace marlowin {

namespace {

DecodedPage decoded(const Encoding& encoding, EncodingSource source, std::string&& bytes,
                    std::optional<bool> known_valid_utf8, const std::stop_token& stop) {
    if (encoding.kind == DecoderKind::Utf8 && known_valid_utf8.value_or(false)) {
        return {std::move(bytes), &encoding, source};
    }
    return {decode_bytes(encoding, std::move(bytes), stop).text, &encoding, source};
}

}  // namespace

DecodedPage decode_html_bytes(std::string bytes, std::string_view content_type,
                              std::optional<bool> known_valid_utf8, const std::stop_token& stop) {
    if (const auto bom = sniff_byte_order_mark(bytes)) {
        bytes.erase(0, bom->length);
        return decoded(*bom->encoding, EncodingSource::ByteOrderMark, std::move(bytes),
                       known_valid_utf8, stop);
    }
    if (const Encoding* declared = charset_from_content_type(content_type)) {
        return decoded(*declared, EncodingSource::ContentType, std::move(bytes), known_valid_utf8,
                       stop);
    }
    if (const Encoding* declared = prescan_for_meta_charset(bytes)) {
        return decoded(*declared, EncodingSource::MetaPrescan, std::move(bytes), known_valid_utf8,
                       stop);
    }

    // Undeclared.
    const bool valid_utf8 = known_valid_utf8 ? *known_valid_utf8 : is_valid_utf8(bytes);
    if (valid_utf8) {
        return {std::move(bytes), &encoding(EncodingId::Utf8), EncodingSource::Utf8Check};
    }
    const Encoding* guess = encoding_for_label(guess_charset(bytes));
    if (guess != nullptr && guess->kind == DecoderKind::Replacement) {
        guess = nullptr;  // never throw a whole page away on a guess
    }
    if (guess != nullptr && guess->width != Width::SingleByte) {
        return decoded(*guess, EncodingSource::Detector, std::move(bytes), false, stop);
    }
    // The detector takes short GBK text, such as a page that is little more than a title,
    // for a Latin encoding; GB18030 reads such bytes without a single malformed sequence.
    const Encoding& gb18030 = encoding(EncodingId::Gb18030);
    DecodeResult as_gb18030 = decode_bytes(gb18030, std::string_view(bytes), stop);
    if (as_gb18030.malformed == 0) {
        return {std::move(as_gb18030.text), &gb18030, EncodingSource::Gb18030Check};
    }
    if (guess != nullptr) {
        return decoded(*guess, EncodingSource::Detector, std::move(bytes), false, stop);
    }
    return decoded(encoding(EncodingId::Windows1252), EncodingSource::Default, std::move(bytes),
                   false, stop);
}

}  // namespace marlowin
