#pragma once

#include <cstddef>
#include <string>

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

/// A 50 MB page in GBK, declared as such, cycling through the GB2312 hanzi block
/// (0xB0A1-0xF7FE), the bulk of any GBK page.
inline std::string big_gbk_page() {
    std::string page = "<html><head><meta charset=\"gbk\"><title>\xB2\xE2\xCA\xD4</title></head>\n";
    unsigned lead = 0xB0;
    unsigned trail = 0xA1;
    while (page.size() < kBigPageSize) {
        page += "<p>";
        for (int i = 0; i < 40; ++i) {
            page += static_cast<char>(lead);
            page += static_cast<char>(trail);
            if (++trail == 0xFF) {
                trail = 0xA1;
                lead = lead == 0xF7 ? 0xB0 : lead + 1;
            }
        }
        page += " ascii</p>\n";
    }
    return page;
}

}  // namespace marlowin::bench
