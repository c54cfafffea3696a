#include "transfer/icu_decoder.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <array>
#include <memory>
#include <stdexcept>

#include "workflow/transfer_error.h"

namespace marlowin {

namespace {

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter open_converter(std::string_view name) {
    UErrorCode status = U_ZERO_ERROR;
    Converter converter(ucnv_open(std::string(name).c_str(), &status));
    if (U_FAILURE(status) || !converter) {
        throw std::runtime_error("cannot open the ICU converter " + std::string(name));
    }
    return converter;
}

struct SubstituteContext {
    bool euro_for_0x80;
    std::size_t malformed = 0;
};

// Every malformed or unmapped sequence becomes one U+FFFD and is counted.
void U_CALLCONV substitute_and_count(const void* context, UConverterToUnicodeArgs* args,
                                     const char* code_units, int32_t length,
                                     UConverterCallbackReason reason, UErrorCode* status) {
    if (reason > UCNV_IRREGULAR) {
        return;  // reset, close or clone: nothing to substitute
    }
    auto* ctx = static_cast<SubstituteContext*>(const_cast<void*>(context));
    UChar replacement = 0xFFFD;
    if (ctx->euro_for_0x80 && length == 1 && static_cast<unsigned char>(code_units[0]) == 0x80) {
        replacement = 0x20AC;
    } else {
        ++ctx->malformed;
    }
    *status = U_ZERO_ERROR;
    ucnv_cbToUWriteUChars(args, &replacement, 1, 0, status);
}

}  // namespace

// ICU's converter reads the bytes into UTF-16 a block at a time and u_strToUTF8WithSub turns
// each block into UTF-8 (faster than pivoting through ICU's UTF-8 converter). A high
// surrogate at the end of a block waits for its partner in the next one.
std::size_t decode_piece_with_icu(const Encoding& encoding, std::string_view bytes,
                                  std::string& out, const std::stop_token& stop) {
    const Converter source = open_converter(encoding.icu_name);
    SubstituteContext context{encoding.euro_for_0x80};
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setToUCallBack(source.get(), substitute_and_count, &context, nullptr, nullptr, &status);
    if (U_FAILURE(status)) {
        throw std::runtime_error("cannot set the ICU substitution callback");
    }

    constexpr std::size_t kBlock = 16384;
    std::array<UChar, kBlock + 1> block{};
    std::array<char, kBlock * 3> utf8{};
    std::size_t carried = 0;  // a high surrogate kept from the previous block
    const char* read = bytes.data();
    const char* const read_end = bytes.data() + bytes.size();
    for (;;) {
        if (stop.stop_requested()) {
            throw TransferCancelled();
        }
        UChar* write = block.data() + carried;
        status = U_ZERO_ERROR;
        ucnv_toUnicode(source.get(), &write, block.data() + kBlock, &read, read_end, nullptr,
                       /*flush=*/true, &status);
        if (U_FAILURE(status) && status != U_BUFFER_OVERFLOW_ERROR) {
            throw std::runtime_error(std::string("ICU conversion failed: ") + u_errorName(status));
        }
        const bool more = status == U_BUFFER_OVERFLOW_ERROR;
        auto units = static_cast<std::size_t>(write - block.data());
        carried = (more && units > 0 && U16_IS_LEAD(block[units - 1])) ? 1 : 0;
        units -= carried;

        int32_t written = 0;
        UErrorCode utf8_status = U_ZERO_ERROR;
        u_strToUTF8WithSub(utf8.data(), static_cast<int32_t>(utf8.size()), &written, block.data(),
                           static_cast<int32_t>(units), 0xFFFD, nullptr, &utf8_status);
        if (U_FAILURE(utf8_status)) {
            throw std::runtime_error(std::string("UTF-8 conversion failed: ") +
                                     u_errorName(utf8_status));
        }
        out.append(utf8.data(), static_cast<std::size_t>(written));
        if (carried != 0) {
            block[0] = block[units];
        }
        if (!more) {
            break;
        }
    }
    return context.malformed;
}

}  // namespace marlowin
