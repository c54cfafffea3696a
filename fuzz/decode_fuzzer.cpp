// Arbitrary bytes with an arbitrary Content-Type value through the encoding sniffing and
// every decoder: the text that comes out is always well-formed UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tests/support/utf8_reference.h"
#include "transfer/encoding_labels.h"
#include "transfer/html_decoding.h"
#include "transfer/text_decoder.h"

namespace {

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
    if (!marlowin::testing::reference_well_formed_utf8(page.text)) {
        std::abort();
    }
    const auto direct = marlowin::decode_bytes(marlowin::encoding_named(kEncodings[which]), body);
    if (!marlowin::testing::reference_well_formed_utf8(direct.text)) {
        std::abort();
    }
    return 0;
}
