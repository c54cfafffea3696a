#pragma once

#include <string_view>
#include <tuple>

namespace marlowin::testing {

/// Well-formed UTF-8, read row by row from the Unicode standard's table of well-formed byte
/// sequences: the yardstick for the fast validator and for every decoder's output.
inline bool reference_well_formed_utf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i++]);
        // How many bytes follow the lead byte, and the range of the first of them.
        const auto [follow, low, high] = b <= 0x7F                ? std::tuple{0, 0x80, 0xBF}
                                         : b >= 0xC2 && b <= 0xDF ? std::tuple{1, 0x80, 0xBF}
                                         : b == 0xE0              ? std::tuple{2, 0xA0, 0xBF}
                                         : b == 0xED              ? std::tuple{2, 0x80, 0x9F}
                                         : b >= 0xE1 && b <= 0xEF ? std::tuple{2, 0x80, 0xBF}
                                         : b == 0xF0              ? std::tuple{3, 0x90, 0xBF}
                                         : b == 0xF4              ? std::tuple{3, 0x80, 0x8F}
                                         : b >= 0xF1 && b <= 0xF3 ? std::tuple{3, 0x80, 0xBF}
                                                                  : std::tuple{-1, 0, 0};
        if (follow < 0) {
            return false;
        }
        for (int k = 0; k < follow; ++k, ++i) {
            const int c = i < s.size() ? static_cast<unsigned char>(s[i]) : 0;
            if (c < (k == 0 ? low : 0x80) || c > (k == 0 ? high : 0xBF)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace marlowin::testing
