// Every legacy decoder against the Encoding Standard's own indexes, exhaustively: each byte
// sequence an index defines decodes to its code point, and each one it leaves undefined to
// U+FFFD, followed by its last byte where that byte is ASCII, as the standard's decoders
// restore it. The indexes are those the text-encoding polyfill ships (Debian's
// libjs-text-encoding), with the standard's changes since that copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "decoding/encodings.h"
#include "decoding/text_decoder.h"

namespace marlowin {
namespace {

using Index = std::vector<std::optional<char32_t>>;
using Id = EncodingId;

// "name":[n,null,...] from encoding-indexes.js; gb18030-ranges ([[pointer,code point],...])
// comes flattened.
std::map<std::string, Index> read_indexes() {
    std::ifstream file(MARLOWIN_ENCODING_INDEXES);
    const std::string js((std::istreambuf_iterator<char>(file)), {});
    std::map<std::string, Index> indexes;
    for (std::size_t at = js.find("\":["); at != std::string::npos; at = js.find("\":[", at)) {
        const std::string name =
            js.substr(js.rfind('"', at - 1) + 1, at - js.rfind('"', at - 1) - 1);
        Index& index = indexes[name];
        int depth = 0;
        for (at += 2;; ++at) {
            if (js[at] == '[') {
                ++depth;
            } else if (js[at] == ']' && --depth == 0) {
                break;
            } else if (js[at] == 'n') {
                index.emplace_back();
                at += 3;
            } else if (std::isdigit(static_cast<unsigned char>(js[at])) != 0) {
                char* end = nullptr;
                index.emplace_back(static_cast<char32_t>(std::strtoul(js.c_str() + at, &end, 10)));
                at = static_cast<std::size_t>(end - js.c_str()) - 1;
            }
        }
    }
    return indexes;
}

// The GB18030-2022 mappings the standard adopted after the polyfill's copy was made.
constexpr std::pair<std::size_t, char32_t> kGb18030Since[] = {
    {7182, 0xFE10},  {7183, 0xFE12},  {7184, 0xFE11},  {7185, 0xFE13},  {7186, 0xFE14},
    {7187, 0xFE15},  {7188, 0xFE16},  {7201, 0xFE17},  {7202, 0xFE18},  {7208, 0xFE19},
    {23775, 0x9FB4}, {23783, 0x9FB5}, {23788, 0x9FB6}, {23789, 0x9FB7}, {23795, 0x9FB8},
    {23812, 0x9FB9}, {23829, 0x9FBA}, {23845, 0x9FBB},
};

// Byte sequences and what each must decode to, all decoded in one go, each ended by a line
// feed that no decoder may swallow.
class Sequences {
public:
    void add(std::string_view bytes, std::u32string_view text) {
        input_.append(bytes);
        input_ += '\n';
        for (const char32_t c : text) {
            append_utf8(expected_, c);
        }
        expected_ += '\n';
    }
    // A sequence of an index: its code point, or an error that restores an ASCII last byte.
    void add(std::string_view bytes, std::optional<char32_t> code_point) {
        const auto last = static_cast<unsigned char>(bytes.back());
        const char32_t text[] = {code_point.value_or(U'\uFFFD'), static_cast<char32_t>(last)};
        add(bytes,
            std::u32string_view(text, !code_point && bytes.size() > 1 && last < 0x80 ? 2 : 1));
    }

    // The sequences whose decoding differs: how many, and the first dozen in hex.
    std::string differences(const Encoding& encoding) const {
        const std::string got = decode_bytes(encoding, input_).text;
        std::ostringstream out;
        std::size_t count = 0;
        for (std::size_t i = 0, g = 0, e = 0; i < input_.size();) {
            const std::size_t i_end = input_.find('\n', i);
            const std::size_t g_end = got.find('\n', g);
            const std::size_t e_end = expected_.find('\n', e);
            if (g_end == std::string::npos) {
                return "decoding lost its line feeds after " + hex(input_.substr(i, i_end - i));
            }
            if (got.compare(g, g_end - g, expected_, e, e_end - e) != 0 && ++count <= 12) {
                out << hex(input_.substr(i, i_end - i)) << ":" << hex(got.substr(g, g_end - g))
                    << ", want" << hex(expected_.substr(e, e_end - e)) << "\n";
            }
            i = i_end + 1;
            g = g_end + 1;
            e = e_end + 1;
        }
        return count == 0 ? "" : std::to_string(count) + " differ (UTF-8 shown)\n" + out.str();
    }

private:
    static void append_utf8(std::string& out, char32_t c) {
        if (c < 0x80) {
            out += static_cast<char>(c);
            return;
        }
        const int trail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        out += static_cast<char>((0xFF00 >> (trail + 1)) | (c >> (6 * trail)));
        for (int k = trail - 1; k >= 0; --k) {
            out += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
        }
    }
    static std::string hex(std::string_view bytes) {
        std::string text;
        for (const char c : bytes) {
            char buffer[4];
            std::snprintf(buffer, sizeof buffer, " %02X", static_cast<unsigned char>(c));
            text += buffer;
        }
        return text.empty() ? " nothing" : text;
    }

    std::string input_;
    std::string expected_;
};

// Up to four bytes, as a view of a buffer that lasts until the next call.
std::string_view bytes_of(std::initializer_list<unsigned> values) {
    static thread_local char buffer[8];
    std::size_t n = 0;
    for (const unsigned v : values) {
        buffer[n++] = static_cast<char>(v);
    }
    return {buffer, n};
}

const std::map<std::string, Index>& indexes() {
    static const std::map<std::string, Index> all = read_indexes();
    return all;
}

std::optional<char32_t> at(const Index& index, std::size_t pointer) {
    return pointer < index.size() ? index[pointer] : std::nullopt;
}

Sequences single_byte(const Index& index) {
    Sequences s;
    for (unsigned b = 0; b < 0x100; ++b) {
        if (b != '\n') {
            s.add(bytes_of({b}), b < 0x80 ? std::optional<char32_t>(b) : at(index, b - 0x80));
        }
    }
    return s;
}

// Two-byte sequences: lead bytes, trail bytes, and the pointer each pair has.
template <typename Pointer>
void add_pairs(Sequences& s, const Index& index, unsigned lead_from, unsigned lead_to,
               const std::vector<std::pair<unsigned, unsigned>>& trails, Pointer pointer) {
    for (unsigned lead = lead_from; lead <= lead_to; ++lead) {
        for (const auto& [from, to] : trails) {
            for (unsigned trail = from; trail <= to; ++trail) {
                s.add(bytes_of({lead, trail}), at(index, pointer(lead, trail)));
            }
        }
    }
}

Sequences gb18030() {
    Index index = indexes().at("gb18030");
    for (const auto& [pointer, code_point] : kGb18030Since) {
        index[pointer] = code_point;
    }
    const Index& ranges = indexes().at("gb18030-ranges");
    Sequences s;
    s.add(bytes_of({0x80}), U"\u20AC");
    add_pairs(s, index, 0x81, 0xFE, {{0x40, 0x7E}, {0x80, 0xFE}}, [](unsigned l, unsigned t) {
        return (l - 0x81) * 190 + t - (t < 0x7F ? 0x40 : 0x41);
    });
    for (unsigned b1 = 0x81; b1 <= 0xFE; ++b1) {
        for (unsigned b2 = 0x30; b2 <= 0x39; ++b2) {
            for (unsigned b3 = 0x81; b3 <= 0xFE; ++b3) {
                for (unsigned b4 = 0x30; b4 <= 0x39; ++b4) {
                    const std::size_t pointer =
                        (((b1 - 0x81) * 10 + b2 - 0x30) * 126 + b3 - 0x81) * 10 + b4 - 0x30;
                    std::optional<char32_t> cp;
                    if (pointer >= 189000 && pointer <= 1237575) {
                        cp = static_cast<char32_t>(0x10000 + pointer - 189000);
                    } else if (pointer == 7457) {
                        cp = 0xE7C7;
                    } else if (pointer <= 39419) {
                        std::size_t r = 0;
                        while (r + 2 < ranges.size() && *ranges[r + 2] <= pointer) {
                            r += 2;
                        }
                        cp = static_cast<char32_t>(*ranges[r + 1] + pointer - *ranges[r]);
                    }
                    // The polyfill reads the last three bytes of one without a code point
                    // again; today's standard takes all four as one error, and wins.
                    s.add(bytes_of({b1, b2, b3, b4}), std::u32string(1, cp.value_or(U'\uFFFD')));
                }
            }
        }
    }
    return s;
}

Sequences big5() {
    const Index& index = indexes().at("big5");
    Sequences s;
    const std::map<std::size_t, std::u32string> pairs = {{1133, U"\u00CA\u0304"},
                                                         {1135, U"\u00CA\u030C"},
                                                         {1164, U"\u00EA\u0304"},
                                                         {1166, U"\u00EA\u030C"}};
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail > 0x7E && trail < 0xA1) {
                continue;
            }
            const std::size_t pointer = (lead - 0x81) * 157 + trail - (trail < 0x7F ? 0x40 : 0x62);
            if (const auto two = pairs.find(pointer); two != pairs.end()) {
                s.add(bytes_of({lead, trail}), two->second);
            } else {
                s.add(bytes_of({lead, trail}), at(index, pointer));
            }
        }
    }
    return s;
}

Sequences euc_jp() {
    const Index& jis0208 = indexes().at("jis0208");
    const Index& jis0212 = indexes().at("jis0212");
    Sequences s;
    for (unsigned b = 0xA1; b <= 0xDF; ++b) {
        s.add(bytes_of({0x8E, b}), static_cast<char32_t>(0xFF61 - 0xA1 + b));
    }
    const auto pointer = [](unsigned l, unsigned t) { return (l - 0xA1) * 94 + t - 0xA1; };
    add_pairs(s, jis0208, 0xA1, 0xFE, {{0xA1, 0xFE}}, pointer);
    for (unsigned lead = 0xA1; lead <= 0xFE; ++lead) {
        for (unsigned trail = 0xA1; trail <= 0xFE; ++trail) {
            s.add(bytes_of({0x8F, lead, trail}), at(jis0212, pointer(lead, trail)));
        }
    }
    return s;
}

Sequences shift_jis() {
    const Index& jis0208 = indexes().at("jis0208");
    Sequences s;
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
        if (b == 0x80) {
            s.add(bytes_of({b}), U"\u0080");
        } else if (b >= 0xA1 && b <= 0xDF) {
            s.add(bytes_of({b}), std::u32string(1, static_cast<char32_t>(0xFF61 - 0xA1 + b)));
        } else if (b == 0xA0 || b >= 0xFD) {
            s.add(bytes_of({b}), U"\uFFFD");
        }
    }
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead >= 0xA0 && lead <= 0xDF) {
            continue;
        }
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F) {
                continue;
            }
            const std::size_t pointer =
                (lead - (lead < 0xA0 ? 0x81 : 0xC1)) * 188 + trail - (trail < 0x7F ? 0x40 : 0x41);
            s.add(bytes_of({lead, trail}),
                  pointer >= 8836 && pointer <= 10715
                      ? std::optional<char32_t>(static_cast<char32_t>(0xE000 - 8836 + pointer))
                      : at(jis0208, pointer));
        }
    }
    return s;
}

Sequences euc_kr() {
    Sequences s;
    add_pairs(s, indexes().at("euc-kr"), 0x81, 0xFE, {{0x41, 0xFE}},
              [](unsigned l, unsigned t) { return (l - 0x81) * 190 + t - 0x41; });
    return s;
}

Sequences iso_2022_jp() {
    const Index& jis0208 = indexes().at("jis0208");
    Sequences s;
    for (unsigned lead = 0x21; lead <= 0x7E; ++lead) {
        for (unsigned trail = 0x21; trail <= 0x7E; ++trail) {
            const auto cp = at(jis0208, (lead - 0x21) * 94 + trail - 0x21);
            s.add("\x1B$B" + std::string(bytes_of({lead, trail})) + "\x1B(B",
                  cp ? std::u32string(1, *cp) : U"\uFFFD");
        }
    }
    for (unsigned b = 0x21; b <= 0x5F; ++b) {
        s.add("\x1B(I" + std::string(bytes_of({b})) + "\x1B(B",
              std::u32string(1, static_cast<char32_t>(0xFF61 - 0x21 + b)));
    }
    s.add("\x1B(J\\~\x1B(B", U"\u00A5\u203E");
    return s;
}

TEST(EncodingIndexes, EveryDecoderReadsItsIndexExactly) {
    ASSERT_FALSE(indexes().empty()) << "cannot read " << MARLOWIN_ENCODING_INDEXES;
    // Every single-byte encoding, by its index's name: its own, lower-cased; ISO-8859-8-I
    // reads ISO-8859-8's.
    for (const Encoding& e : all_encodings()) {
        if (e.width != Width::SingleByte || e.id == Id::Replacement || e.id == Id::XUserDefined) {
            continue;
        }
        std::string name(e.id == Id::Iso8859_8I ? "iso-8859-8" : e.name);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        EXPECT_EQ(single_byte(indexes().at(name)).differences(e), "") << name;
    }
    const Sequences gb = gb18030();
    EXPECT_EQ(gb.differences(encoding(Id::Gb18030)), "") << "gb18030";
    EXPECT_EQ(gb.differences(encoding(Id::Gbk)), "") << "GBK";
    EXPECT_EQ(big5().differences(encoding(Id::Big5)), "") << "Big5";
    EXPECT_EQ(euc_jp().differences(encoding(Id::EucJp)), "") << "EUC-JP";
    EXPECT_EQ(shift_jis().differences(encoding(Id::ShiftJis)), "") << "Shift_JIS";
    EXPECT_EQ(euc_kr().differences(encoding(Id::EucKr)), "") << "EUC-KR";
    EXPECT_EQ(iso_2022_jp().differences(encoding(Id::Iso2022Jp)), "") << "ISO-2022-JP";
}

}  // namespace
}  // namespace marlowin
