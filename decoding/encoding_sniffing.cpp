#include "decoding/encoding_sniffing.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "base/ascii.h"
#include "decoding/decoding_error.h"

namespace marlowin {

namespace {

using ascii::is_alpha;
using ascii::starts_with_ignoring_case;
constexpr auto is_space = ascii::is_whitespace;

constexpr std::size_t kPrescanLength = 1024;

// The charset in a meta element's content attribute value, e.g. "text/html; charset=gbk".
const Encoding* charset_from_meta_content(std::string_view content) {
    std::size_t pos = 0;
    for (;;) {
        // Find "charset", ignoring case.
        std::size_t at = std::string_view::npos;
        for (std::size_t i = pos; i + 7 <= content.size(); ++i) {
            if (starts_with_ignoring_case(content.substr(i), "charset")) {
                at = i;
                break;
            }
        }
        if (at == std::string_view::npos) {
            return nullptr;
        }
        pos = at + 7;
        while (pos < content.size() && is_space(content[pos])) {
            ++pos;
        }
        if (pos >= content.size() || content[pos] != '=') {
            continue;  // look for a later "charset"
        }
        ++pos;
        while (pos < content.size() && is_space(content[pos])) {
            ++pos;
        }
        if (pos >= content.size()) {
            return nullptr;
        }
        const char first = content[pos];
        if (first == '"' || first == '\'') {
            const std::size_t close = content.find(first, pos + 1);
            if (close == std::string_view::npos) {
                return nullptr;
            }
            return encoding_for_label(content.substr(pos + 1, close - pos - 1));
        }
        std::size_t end = pos;
        while (end < content.size() && !is_space(content[end]) && content[end] != ';') {
            ++end;
        }
        return encoding_for_label(content.substr(pos, end - pos));
    }
}

// An attribute as it stands in the bytes; names and values compare ignoring ASCII case.
struct Attribute {
    std::string_view name;
    std::string_view value;
};

bool equals_ignoring_case(std::string_view text, std::string_view lower) {
    return text.size() == lower.size() && starts_with_ignoring_case(text, lower);
}

// Where a scan for <meta> declarations looks.
enum class Reach {
    FirstKilobyte,  ///< the prescan: the first 1024 bytes, abandoned when a tag runs past them
    Document,       ///< the whole document, skipping raw text as the parser's tokenizer does
};

// Elements whose contents the tokenizer reads as text, never as tags.
constexpr std::array<std::string_view, 5> kRawTextElements = {"script", "style", "textarea",
                                                              "title", "xmp"};

// A stop request is looked at each time the scan has gone this much further.
constexpr std::size_t kStopCheckBytes = std::size_t{1} << 16;

// Walks the bytes from one '<' to the next, each byte looked at a bounded number of times
// whatever the page holds; running past the end of what it may read abandons the scan, as
// browsers do.
class MetaScanner {
public:
    MetaScanner(std::string_view bytes, Reach reach, std::stop_token stop)
        : bytes_(reach == Reach::FirstKilobyte ? bytes.substr(0, kPrescanLength) : bytes),
          reach_(reach),
          stop_(std::move(stop)) {}

    const Encoding* run() {
        for (pos_ = bytes_.find('<'); pos_ < bytes_.size(); pos_ = bytes_.find('<', pos_ + 1)) {
            check_stop(pos_);
            const std::string_view here = bytes_.substr(pos_);
            if (here.starts_with("<!--")) {
                // The "--" of "-->" may be those of "<!--" itself.
                const std::size_t end = bytes_.find("-->", pos_ + 2);
                if (end == std::string_view::npos) {
                    return nullptr;
                }
                pos_ = end + 2;
            } else if (starts_with_ignoring_case(here, "<meta") && here.size() > 5 &&
                       (is_space(here[5]) || here[5] == '/')) {
                pos_ += 5;
                bool ran_out = false;
                if (const Encoding* found = meta_element(ran_out)) {
                    return found;
                }
                if (ran_out) {
                    return nullptr;
                }
            } else if (here.size() > 1 &&
                       (is_alpha(here[1]) ||
                        (here[1] == '/' && here.size() > 2 && is_alpha(here[2])))) {
                const std::size_t name_at = pos_ + 1;
                pos_ = skip_to_tag_name_end(name_at);
                if (pos_ >= bytes_.size()) {
                    return nullptr;
                }
                const std::string_view name = bytes_.substr(name_at, pos_ - name_at);
                bool ran_out = false;
                Attribute ignored;
                while (next_attribute(ignored, ran_out)) {
                }
                if (ran_out || (reach_ == Reach::Document && !skip_raw_text(name))) {
                    return nullptr;
                }
            } else if (here.starts_with("<!") || here.starts_with("</") || here.starts_with("<?")) {
                const std::size_t end = bytes_.find('>', pos_ + 1);
                if (end == std::string_view::npos) {
                    return nullptr;
                }
                pos_ = end;
            }
        }
        return nullptr;
    }

private:
    void check_stop(std::size_t at) {
        if (at >= next_check_) {
            if (stop_.stop_requested()) {
                throw DecodingCancelled();
            }
            next_check_ = at + kStopCheckBytes;
        }
    }

    // After the start tag of a raw text element, moves to just before its end tag; false when
    // the document ends first.
    bool skip_raw_text(std::string_view tag_name) {
        const auto raw = std::find_if(
            kRawTextElements.begin(), kRawTextElements.end(),
            [&](std::string_view element) { return equals_ignoring_case(tag_name, element); });
        if (raw == kRawTextElements.end()) {
            return true;
        }
        for (std::size_t at = bytes_.find("</", pos_); at != std::string_view::npos;
             at = bytes_.find("</", at + 2)) {
            check_stop(at);
            const std::string_view after = bytes_.substr(at + 2);
            if (after.size() > raw->size() && starts_with_ignoring_case(after, *raw) &&
                (is_space(after[raw->size()]) || after[raw->size()] == '/' ||
                 after[raw->size()] == '>')) {
                pos_ = at - 1;
                return true;
            }
        }
        return false;
    }

    std::size_t skip_to_tag_name_end(std::size_t from) {
        while (from < bytes_.size() && !is_space(bytes_[from]) && bytes_[from] != '>') {
            check_stop(++from);
        }
        return from;
    }

    // The attributes of a <meta>; returns the encoding it declares in a way that counts. Of a
    // repeated attribute the first counts; only three names matter, so only those are kept.
    const Encoding* meta_element(bool& ran_out) {
        bool seen_http_equiv = false;
        bool seen_content = false;
        bool seen_charset = false;
        bool got_pragma = false;
        enum class NeedPragma { Unset, Yes, No } need_pragma = NeedPragma::Unset;
        const Encoding* charset = nullptr;

        Attribute attribute;
        while (next_attribute(attribute, ran_out)) {
            if (equals_ignoring_case(attribute.name, "http-equiv")) {
                if (!std::exchange(seen_http_equiv, true)) {
                    got_pragma = equals_ignoring_case(attribute.value, "content-type");
                }
            } else if (equals_ignoring_case(attribute.name, "content")) {
                if (!std::exchange(seen_content, true)) {
                    // Only while no charset attribute has been seen: one naming no
                    // encoding leaves a failure, not room for content's.
                    const Encoding* declared = charset_from_meta_content(attribute.value);
                    if (declared != nullptr && charset == nullptr && !seen_charset) {
                        charset = declared;
                        need_pragma = NeedPragma::Yes;
                    }
                }
            } else if (equals_ignoring_case(attribute.name, "charset")) {
                if (!std::exchange(seen_charset, true)) {
                    charset = encoding_for_label(attribute.value);
                    need_pragma = NeedPragma::No;
                }
            }
        }
        if (ran_out || need_pragma == NeedPragma::Unset || charset == nullptr ||
            (need_pragma == NeedPragma::Yes && !got_pragma)) {
            return nullptr;
        }
        return &encoding(charset->declared_as);
    }

    // Reads one attribute at pos_. False at the end of the tag, or when the window ran out
    // (then ran_out is set).
    bool next_attribute(Attribute& out, bool& ran_out) {
        out = {};
        while (pos_ < bytes_.size() && (is_space(bytes_[pos_]) || bytes_[pos_] == '/')) {
            check_stop(++pos_);
        }
        if (pos_ >= bytes_.size()) {
            ran_out = true;
            return false;
        }
        if (bytes_[pos_] == '>') {
            return false;
        }
        // The name; its first byte belongs to it even when it is '='.
        const std::size_t name_at = pos_;
        for (++pos_;; check_stop(++pos_)) {
            if (pos_ >= bytes_.size()) {
                ran_out = true;
                return false;
            }
            const char c = bytes_[pos_];
            if (c == '=' || is_space(c) || c == '/' || c == '>') {
                break;
            }
        }
        out.name = bytes_.substr(name_at, pos_ - name_at);
        if (bytes_[pos_] == '/' || bytes_[pos_] == '>') {
            return true;
        }
        // Spaces between the name and a possible '='.
        while (pos_ < bytes_.size() && is_space(bytes_[pos_])) {
            check_stop(++pos_);
        }
        if (pos_ >= bytes_.size()) {
            ran_out = true;
            return false;
        }
        if (bytes_[pos_] != '=') {
            return true;
        }
        ++pos_;
        return read_value(out, ran_out);
    }

    bool read_value(Attribute& out, bool& ran_out) {
        while (pos_ < bytes_.size() && is_space(bytes_[pos_])) {
            check_stop(++pos_);
        }
        if (pos_ >= bytes_.size()) {
            ran_out = true;
            return false;
        }
        const char first = bytes_[pos_];
        if (first == '"' || first == '\'') {
            const std::size_t close = bytes_.find(first, pos_ + 1);
            if (close == std::string_view::npos) {
                ran_out = true;
                return false;
            }
            out.value = bytes_.substr(pos_ + 1, close - pos_ - 1);
            pos_ = close + 1;
            return true;
        }
        if (first == '>') {
            return true;
        }
        const std::size_t value_at = pos_;
        for (;; check_stop(++pos_)) {
            if (pos_ >= bytes_.size()) {
                ran_out = true;
                return false;
            }
            if (is_space(bytes_[pos_]) || bytes_[pos_] == '>') {
                out.value = bytes_.substr(value_at, pos_ - value_at);
                return true;
            }
        }
    }

    std::string_view bytes_;
    Reach reach_;
    std::stop_token stop_;
    std::size_t pos_ = 0;
    std::size_t next_check_ = 0;
};

}  // namespace

std::optional<ByteOrderMark> sniff_byte_order_mark(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        return ByteOrderMark{&encoding(EncodingId::Utf8), 3};
    }
    if (bytes.starts_with("\xFE\xFF")) {
        return ByteOrderMark{&encoding(EncodingId::Utf16Be), 2};
    }
    if (bytes.starts_with("\xFF\xFE")) {
        return ByteOrderMark{&encoding(EncodingId::Utf16Le), 2};
    }
    return std::nullopt;
}

const Encoding* charset_from_content_type(std::string_view content_type) {
    // Parameters follow the first ';'. Values may be quoted strings with backslash escapes;
    // the first charset parameter counts.
    std::size_t pos = content_type.find(';');
    while (pos != std::string_view::npos && pos < content_type.size()) {
        ++pos;
        while (pos < content_type.size() && is_space(content_type[pos])) {
            ++pos;
        }
        std::string name;
        while (pos < content_type.size() && content_type[pos] != ';' && content_type[pos] != '=') {
            name += ascii::to_lower(content_type[pos++]);
        }
        if (pos >= content_type.size()) {
            return nullptr;
        }
        if (content_type[pos] == ';') {
            continue;
        }
        ++pos;  // '='
        std::string value;
        if (pos < content_type.size() && content_type[pos] == '"') {
            for (++pos; pos < content_type.size() && content_type[pos] != '"'; ++pos) {
                if (content_type[pos] == '\\' && pos + 1 < content_type.size()) {
                    ++pos;
                }
                value += content_type[pos];
            }
            pos = content_type.find(';', pos);
        } else {
            const std::size_t end = content_type.find(';', pos);
            value = std::string(content_type.substr(
                pos, end == std::string_view::npos ? std::string_view::npos : end - pos));
            pos = end;
        }
        while (!name.empty() && is_space(name.back())) {
            name.pop_back();
        }
        if (name == "charset") {
            return encoding_for_label(value);
        }
    }
    return nullptr;
}

const Encoding* prescan_for_meta_charset(std::string_view bytes) {
    return MetaScanner(bytes, Reach::FirstKilobyte, {}).run();
}

const Encoding* late_meta_charset(std::string_view bytes, const std::stop_token& stop) {
    return MetaScanner(bytes, Reach::Document, stop).run();
}

const Encoding* xml_declaration_charset(std::string_view bytes) {
    if (!bytes.starts_with("<?xml") || bytes.size() < 6 || !is_space(bytes[5])) {
        return nullptr;
    }
    const std::string_view head = bytes.substr(0, kPrescanLength);
    const std::size_t end = head.find("?>");
    if (end == std::string_view::npos) {
        return nullptr;
    }
    const std::string_view declaration = head.substr(6, end - 6);
    for (std::size_t at = declaration.find("encoding"); at != std::string_view::npos;
         at = declaration.find("encoding", at + 1)) {
        std::size_t pos = at + 8;
        while (pos < declaration.size() && is_space(declaration[pos])) {
            ++pos;
        }
        if (pos >= declaration.size() || declaration[pos] != '=') {
            continue;
        }
        ++pos;
        while (pos < declaration.size() && is_space(declaration[pos])) {
            ++pos;
        }
        if (pos >= declaration.size() || (declaration[pos] != '"' && declaration[pos] != '\'')) {
            return nullptr;
        }
        const std::size_t close = declaration.find(declaration[pos], pos + 1);
        if (close == std::string_view::npos) {
            return nullptr;
        }
        const Encoding* named = encoding_for_label(declaration.substr(pos + 1, close - pos - 1));
        return named != nullptr ? &encoding(named->declared_as) : nullptr;
    }
    return nullptr;
}

}  // namespace marlowin
