// Arbitrary bytes with an arbitrary Content-Type value through the encoding sniffing and
// every decoder: the text that comes out is always well-formed UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "transfer/encoding_labels.h"
#include "transfer/html_decoding.h"
#include "transfer/text_decoder.h"

namespace {

// Written out here rather than borrowed from the code under test.
bool well_formed_utf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        std::size_t n = 0;
        unsigned lo = 0x80;
        unsigned hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            n = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            n = 2;
            lo = b == 0xE0 ? 0xA0 : 0x80;
            hi = b == 0xED ? 0x9F : 0xBF;
        } else if (b >= 0xF0 && b <= 0xF4) {
            n = 3;
            lo = b == 0xF0 ? 0x90 : 0x80;
            hi = b == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        for (std::size_t k = 1; k <= n; ++k) {
            if (i + k >= s.size()) {
                return false;
            }
            const auto c = static_cast<unsigned char>(s[i + k]);
            if (c < (k == 1 ? lo : 0x80) || c > (k == 1 ? hi : 0xBF)) {
                return false;
            }
        }
        i += n + 1;
    }
    return true;
}

constexpr const char* kEncodings[] = {
    "UTF-8",          "IBM866", "ISO-8859-2",  "ISO-8859-5",  "ISO-8859-7",   "ISO-8859-8",
    "ISO-8859-16",    "KOI8-U", "macintosh",   "windows-874", "windows-1252", "windows-1255",
    "x-mac-cyrillic", "GBK",    "gb18030",     "Big5",        "EUC-JP",       "ISO-2022-JP",
    "Shift_JIS",      "EUC-KR", "replacement", "UTF-16BE",    "UTF-16LE",     "x-user-defined"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    // First byte: which decoder to try directly; second: how long the Content-Type is.
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t which = static_cast<unsigned char>(input[0]) % std::size(kEncodings);
    const std::size_t type_length =
        std::min<std::size_t>(static_cast<unsigned char>(input[1]) % 64, size - 2);
    const std::string_view content_type = input.substr(2, type_length);
    const std::string_view body = input.substr(2 + type_length);

    const auto page = marlowin::decode_html_bytes(std::string(body), content_type);
    if (!well_formed_utf8(page.text)) {
        std::abort();
    }
    const auto direct = marlowin::decode_bytes(marlowin::encoding_named(kEncodings[which]), body);
    if (!well_formed_utf8(direct.text)) {
        std::abort();
    }
    return 0;
}
