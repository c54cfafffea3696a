#include "transfer/encoding_sniffing.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "transfer/ascii.h"

namespace marlowin {

namespace {

using ascii::is_alpha;
using ascii::starts_with_ignoring_case;
using ascii::to_lower;
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

struct Attribute {
    std::string name;
    std::string value;
};

// Where a scan for <meta> declarations looks.
enum class Reach {
    FirstKilobyte,  ///< the prescan: the first 1024 bytes, abandoned when a tag runs past them
    Document,       ///< the whole document, skipping raw text as the parser's tokenizer does
};

// Elements whose contents the tokenizer reads as text, never as tags.
constexpr std::array<std::string_view, 5> kRawTextElements = {"script", "style", "textarea",
                                                              "title", "xmp"};

// Walks the bytes from one '<' to the next; running past the end of what it may read
// abandons the scan, as browsers do.
class MetaScanner {
public:
    MetaScanner(std::string_view bytes, Reach reach)
        : bytes_(reach == Reach::FirstKilobyte ? bytes.substr(0, kPrescanLength) : bytes),
          reach_(reach) {}

    const Encoding* run() {
        for (pos_ = bytes_.find('<'); pos_ < bytes_.size(); pos_ = bytes_.find('<', pos_ + 1)) {
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
                while (next_attribute(ignored_, ran_out)) {
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
    // After the start tag of a raw text element, moves to just before its end tag; false when
    // the document ends first.
    bool skip_raw_text(std::string_view tag_name) {
        const auto is_named = [](std::string_view name, std::string_view lower) {
            return name.size() == lower.size() && starts_with_ignoring_case(name, lower);
        };
        const auto raw =
            std::find_if(kRawTextElements.begin(), kRawTextElements.end(),
                         [&](std::string_view element) { return is_named(tag_name, element); });
        if (raw == kRawTextElements.end()) {
            return true;
        }
        for (std::size_t at = bytes_.find("</", pos_); at != std::string_view::npos;
             at = bytes_.find("</", at + 2)) {
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

    std::size_t skip_to_tag_name_end(std::size_t from) const {
        while (from < bytes_.size() && !is_space(bytes_[from]) && bytes_[from] != '>') {
            ++from;
        }
        return from;
    }

    // The attributes of a <meta>; returns the encoding it declares in a way that counts.
    const Encoding* meta_element(bool& ran_out) {
        std::vector<std::string> seen;
        bool got_pragma = false;
        enum class NeedPragma { Unset, Yes, No } need_pragma = NeedPragma::Unset;
        const Encoding* charset = nullptr;

        Attribute attribute;
        while (next_attribute(attribute, ran_out)) {
            if (std::find(seen.begin(), seen.end(), attribute.name) != seen.end()) {
                continue;
            }
            seen.push_back(attribute.name);
            if (attribute.name == "http-equiv") {
                got_pragma = got_pragma || attribute.value == "content-type";
            } else if (attribute.name == "content") {
                const Encoding* declared = charset_from_meta_content(attribute.value);
                if (declared != nullptr && charset == nullptr) {
                    charset = declared;
                    need_pragma = NeedPragma::Yes;
                }
            } else if (attribute.name == "charset") {
                charset = encoding_for_label(attribute.value);
                need_pragma = NeedPragma::No;
            }
        }
        if (ran_out || need_pragma == NeedPragma::Unset || charset == nullptr ||
            (need_pragma == NeedPragma::Yes && !got_pragma)) {
            return nullptr;
        }
        return &encoding(charset->declared_as);
    }

    // Reads one attribute at pos_. False at the end of the tag, or when the window ran out
    // (then ran_out is set). Names and values are lower-cased, as the prescan compares them.
    bool next_attribute(Attribute& out, bool& ran_out) {
        out.name.clear();
        out.value.clear();
        const auto at_end = [&] {
            if (pos_ >= bytes_.size()) {
                ran_out = true;
                return true;
            }
            return false;
        };
        while (!at_end() && (is_space(bytes_[pos_]) || bytes_[pos_] == '/')) {
            ++pos_;
        }
        if (at_end() || bytes_[pos_] == '>') {
            return false;
        }
        // The name.
        for (;; ++pos_) {
            if (at_end()) {
                return false;
            }
            const char c = bytes_[pos_];
            if (c == '=' && !out.name.empty()) {
                ++pos_;
                return read_value(out, ran_out);
            }
            if (is_space(c)) {
                break;
            }
            if (c == '/' || c == '>') {
                return true;
            }
            out.name += to_lower(c);
        }
        // Spaces between the name and a possible '='.
        while (!at_end() && is_space(bytes_[pos_])) {
            ++pos_;
        }
        if (at_end()) {
            return false;
        }
        if (bytes_[pos_] != '=') {
            return true;
        }
        ++pos_;
        return read_value(out, ran_out);
    }

    bool read_value(Attribute& out, bool& ran_out) {
        const auto at_end = [&] {
            if (pos_ >= bytes_.size()) {
                ran_out = true;
                return true;
            }
            return false;
        };
        while (!at_end() && is_space(bytes_[pos_])) {
            ++pos_;
        }
        if (at_end()) {
            return false;
        }
        const char first = bytes_[pos_];
        if (first == '"' || first == '\'') {
            for (++pos_;; ++pos_) {
                if (at_end()) {
                    return false;
                }
                if (bytes_[pos_] == first) {
                    ++pos_;
                    return true;
                }
                out.value += to_lower(bytes_[pos_]);
            }
        }
        if (first == '>') {
            return true;
        }
        for (;; ++pos_) {
            if (at_end()) {
                return false;
            }
            const char c = bytes_[pos_];
            if (is_space(c) || c == '>') {
                return true;
            }
            out.value += to_lower(c);
        }
    }

    std::string_view bytes_;
    Reach reach_;
    std::size_t pos_ = 0;
    Attribute ignored_;  // the attributes of other tags, read only to get past them
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
            name += to_lower(content_type[pos++]);
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
    return MetaScanner(bytes, Reach::FirstKilobyte).run();
}

const Encoding* late_meta_charset(std::string_view bytes) {
    return MetaScanner(bytes, Reach::Document).run();
}

}  // namespace marlowin
