#include "bench/icu_converter.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <array>
#include <string>

#include "base/c_handle.h"
#include "decoding/decoding_error.h"

namespace marlowin {

namespace {

[[noreturn]] void cannot_decode(const std::string& what, UErrorCode status) {
    throw DecodingError(what + ": " + u_errorName(status));
}

// Every malformed or unmapped sequence becomes one U+FFFD and is counted.
void U_CALLCONV substitute_and_count(const void* context, UConverterToUnicodeArgs* args,
                                     const char* /*code_units*/, int32_t /*length*/,
                                     UConverterCallbackReason reason, UErrorCode* status) {
    if (reason > UCNV_IRREGULAR) {
        return;  // reset, close or clone: nothing to substitute
    }
    ++*static_cast<std::size_t*>(const_cast<void*>(context));
    const UChar replacement = 0xFFFD;
    *status = U_ZERO_ERROR;
    ucnv_cbToUWriteUChars(args, &replacement, 1, 0, status);
}

}  // namespace

// ICU's converter reads the bytes into UTF-16 a block at a time and u_strToUTF8WithSub turns
// each block into UTF-8 (faster than pivoting through ICU's UTF-8 converter). A high
// surrogate at the end of a block waits for its partner in the next one.
DecodeResult decode_with_icu(const Encoding& encoding, std::string_view bytes,
                             const std::stop_token& stop) {
    const std::string name(encoding.icu_name);
    UErrorCode status = U_ZERO_ERROR;
    const CHandle<UConverter, ucnv_close> source(ucnv_open(name.c_str(), &status));
    if (U_FAILURE(status) || !source) {
        cannot_decode("cannot open the ICU converter " + name, status);
    }
    std::size_t malformed = 0;
    ucnv_setToUCallBack(source.get(), substitute_and_count, &malformed, nullptr, nullptr, &status);
    if (U_FAILURE(status)) {
        cannot_decode("cannot set the ICU substitution callback", status);
    }

    DecodeResult result{{}, 0};
    result.text.reserve(3 * bytes.size());
    constexpr std::size_t kBlock = 16384;
    std::array<UChar, kBlock + 1> block{};
    std::array<char, kBlock * 3> utf8{};
    std::size_t carried = 0;  // a high surrogate kept from the previous block
    const char* read = bytes.data();
    const char* const read_end = bytes.data() + bytes.size();
    for (;;) {
        if (stop.stop_requested()) {
            throw DecodingCancelled();
        }
        UChar* write = block.data() + carried;
        status = U_ZERO_ERROR;
        ucnv_toUnicode(source.get(), &write, block.data() + kBlock, &read, read_end, nullptr,
                       /*flush=*/true, &status);
        if (U_FAILURE(status) && status != U_BUFFER_OVERFLOW_ERROR) {
            cannot_decode("ICU conversion from " + name + " failed", status);
        }
        const bool more = status == U_BUFFER_OVERFLOW_ERROR;
        auto units = static_cast<std::size_t>(write - block.data());
        carried = (more && units > 0 && U16_IS_LEAD(block[units - 1])) ? 1 : 0;
        units -= carried;

        int32_t written = 0;
        status = U_ZERO_ERROR;
        u_strToUTF8WithSub(utf8.data(), static_cast<int32_t>(utf8.size()), &written, block.data(),
                           static_cast<int32_t>(units), 0xFFFD, nullptr, &status);
        if (U_FAILURE(status)) {
            cannot_decode("UTF-8 conversion failed", status);
        }
        result.text.append(utf8.data(), static_cast<std::size_t>(written));
        if (carried != 0) {
            block[0] = block[units];
        }
        if (!more) {
            break;
        }
    }
    result.malformed = malformed;
    return result;
}

}  // namespace marlowin
