// Arbitrary bytes with an arbitrary Content-Type value through the encoding sniffing and
// every decoder: the text that comes out is always well-formed UTF-8, and a body of
// well-formed UTF-8 with multi-byte content reads as itself whatever legacy charset the
// header names.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "decoding/encodings.h"
#include "decoding/html_decoding.h"
#include "decoding/text_decoder.h"
#include "tests/shared/utf8_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    // First byte: which decoder to try directly; second: how long the Content-Type is.
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto encodings = marlowin::all_encodings();
    const std::size_t which = static_cast<unsigned char>(input[0]) % encodings.size();
    const std::size_t type_length =
        std::min<std::size_t>(static_cast<unsigned char>(input[1]) % 64, size - 2);
    const std::string_view content_type = input.substr(2, type_length);
    const std::string_view body = input.substr(2 + type_length);

    const auto page = marlowin::decode_html_bytes(std::string(body), content_type);
    if (!marlowin::testing::reference_well_formed_utf8(page.text)) {
        std::abort();
    }
    const auto direct = marlowin::decode_bytes(encodings[which], body);
    if (!marlowin::testing::reference_well_formed_utf8(direct.text)) {
        std::abort();
    }
    const bool multi_byte = std::any_of(
        body.begin(), body.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (encodings[which].width != marlowin::Width::Unicode && multi_byte &&
        !body.starts_with("\xEF\xBB\xBF") && marlowin::testing::reference_well_formed_utf8(body)) {
        const std::string header = "text/html; charset=" + std::string(encodings[which].name);
        if (marlowin::decode_html_bytes(std::string(body), header).text != body) {
            std::abort();
        }
    }
    return 0;
}
