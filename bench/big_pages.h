#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace marlowin::bench {

inline constexpr std::size_t kBigPageSize = std::size_t{50} << 20;

/// A 50 MB page in UTF-8, declared as such: mostly Chinese, some ASCII, markup on every line.
inline std::string big_utf8_page() {
    std::string page = "<html><head><meta charset=\"utf-8\"><title>测试页面</title></head><body>\n";
    const std::string line = "<p>这是一段用于测试的中文内容，包含 ASCII text 与标点。</p>\n";
    while (page.size() < kBigPageSize) {
        page += line;
    }
    return page;
}

/// The two-byte characters a legacy CJK page is mostly made of: leads from @p first_lead to
/// @p last_lead, each with the trail bytes of @p trails (inclusive ranges).
struct TwoByteBlock {
    unsigned first_lead;
    unsigned last_lead;
    std::vector<std::pair<unsigned, unsigned>> trails;
};

/// A 50 MB page in a legacy CJK encoding, declared by a <meta>, as pages are: markup on every
/// line around a sentence of 40 characters cycling through @p block, and a comma and a full
/// stop of the encoding (@p comma, @p full_stop) in each sentence.
inline std::string big_legacy_page(std::string_view charset, const TwoByteBlock& block,
                                   std::string_view comma, std::string_view full_stop) {
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"" + std::string(charset) +
                       "\"><title>page</title>\n<link rel=\"stylesheet\" href=\"/site.css\">"
                       "</head>\n<body>\n";
    std::vector<std::string> characters;
    for (unsigned lead = block.first_lead; lead <= block.last_lead; ++lead) {
        for (const auto& [from, to] : block.trails) {
            for (unsigned trail = from; trail <= to; ++trail) {
                characters.push_back({static_cast<char>(lead), static_cast<char>(trail)});
            }
        }
    }
    std::size_t next = 0;
    while (page.size() < kBigPageSize) {
        page += R"(<li class="item"><a href="/article/2024/06/18/index.html">)";
        for (int i = 0; i < 40; ++i) {
            page += characters[next++ % characters.size()];
            if (i == 17) {
                page += comma;
            }
        }
        page += full_stop;
        page += "</a> <span>2024-06-18</span></li>\n";
    }
    return page;
}

/// A 50 MB page in GBK, declared as such, from the GB2312 hanzi block (0xB0A1-0xF7FE), the
/// bulk of any GBK page.
inline std::string big_gbk_page() {
    return big_legacy_page("gbk", {0xB0, 0xF7, {{0xA1, 0xFE}}}, "\xA3\xAC", "\xA1\xA3");
}

/// The same in Big5, from its frequent hanzi (0xA440-0xC67E).
inline std::string big_big5_page() {
    return big_legacy_page("big5", {0xA4, 0xC5, {{0x40, 0x7E}, {0xA1, 0xFE}}}, "\xA1\x41",
                           "\xA1\x43");
}

/// The same in Shift_JIS, from its level 1 kanji (leads 0x89-0x97, every cell of which is one).
inline std::string big_shift_jis_page() {
    return big_legacy_page("shift_jis", {0x89, 0x97, {{0x40, 0x7E}, {0x80, 0xFC}}}, "\x81\x41",
                           "\x81\x42");
}

/// The same in EUC-KR, from its hangul (0xB0A1-0xC8FE).
inline std::string big_euc_kr_page() {
    return big_legacy_page("euc-kr", {0xB0, 0xC8, {{0xA1, 0xFE}}}, ", ", ". ");
}

}  // namespace marlowin::bench
