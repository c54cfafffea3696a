// Typed text through the address parsing: it either refuses the text with a TransferError or
// makes an http(s) URL of printable ASCII, which parses again to itself.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "transfer/address.h"
#include "workflow/transfer_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string url;
    try {
        url = marlowin::normalize_address(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const marlowin::TransferError&) {
        return 0;
    }
    const bool printable =
        std::all_of(url.begin(), url.end(), [](char c) { return c > 0x20 && c < 0x7F; });
    if (!printable || !(url.starts_with("http://") || url.starts_with("https://")) ||
        marlowin::normalize_address(url) != url) {
        std::abort();
    }
    return 0;
}
