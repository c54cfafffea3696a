#include "transfer/text_decoder.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <array>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "transfer/utf8_validator.h"
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
    bool euro_for_0x80;  // GBK and gb18030 read a lone 0x80 as the euro sign, as browsers do
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

// What decoding @p length bytes usually takes: CJK text grows by half going from two bytes to
// three, single-byte text a little. More is appended when needed.
std::size_t expected_utf8_size(std::size_t length) {
    return length + length / 2;
}

// ICU's converter reads the bytes into UTF-16 a block at a time and u_strToUTF8WithSub turns
// each block into UTF-8 (faster than pivoting through ICU's UTF-8 converter), appended to
// @p out. A high surrogate at the end of a block waits for its partner in the next one.
std::size_t decode_with_icu(std::string_view icu_name, bool euro_for_0x80, std::string_view bytes,
                            std::string& out, const std::stop_token& stop) {
    const Converter source = open_converter(icu_name);
    SubstituteContext context{euro_for_0x80};
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

DecodeResult decode_with_icu(std::string_view icu_name, bool euro_for_0x80, std::string_view bytes,
                             const std::stop_token& stop) {
    DecodeResult result{{}, 0};
    result.text.reserve(expected_utf8_size(bytes.size()));
    result.malformed = decode_with_icu(icu_name, euro_for_0x80, bytes, result.text, stop);
    return result;
}

// Pages of several megabytes are decoded in pieces, one per core. A piece may only start where
// a character starts: anywhere in a single-byte encoding, and at a byte below 0x30 in the
// multi-byte ones, which is never part of a longer sequence there. Stateful encodings and
// UTF-16 are decoded whole.
constexpr std::size_t kPieceMinimum = std::size_t{4} << 20;

enum class Split { Anywhere, BelowDigit, Never };

Split split_rule(const Encoding& encoding) {
    constexpr std::array<std::string_view, 6> kMultiByte = {"GBK",       "gb18030", "Big5",
                                                            "Shift_JIS", "EUC-JP",  "EUC-KR"};
    if (std::find(kMultiByte.begin(), kMultiByte.end(), encoding.name) != kMultiByte.end()) {
        return Split::BelowDigit;
    }
    if (encoding.name == "ISO-2022-JP" || encoding.name == "UTF-16BE" ||
        encoding.name == "UTF-16LE" || encoding.name == "UTF-8") {
        return Split::Never;
    }
    return Split::Anywhere;
}

std::vector<std::string_view> split_into_pieces(std::string_view bytes, Split rule) {
    const std::size_t cores = std::max(1u, std::min(std::thread::hardware_concurrency(), 8u));
    const std::size_t count = std::min(cores, bytes.size() / kPieceMinimum);
    if (rule == Split::Never || count < 2) {
        return {bytes};
    }
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (std::size_t i = 1; i < count; ++i) {
        std::size_t cut = bytes.size() * i / count;
        if (rule == Split::BelowDigit) {
            while (cut < bytes.size() && static_cast<unsigned char>(bytes[cut]) >= 0x30) {
                ++cut;
            }
        }
        if (cut <= start || cut >= bytes.size()) {
            continue;
        }
        pieces.push_back(bytes.substr(start, cut - start));
        start = cut;
    }
    pieces.push_back(bytes.substr(start));
    return pieces;
}

void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// ISO-8859-16 bytes 0xA0-0xFF (the lower half is Latin-1); ICU's data lacks this encoding.
// From the WHATWG index-iso-8859-16.
constexpr std::array<char16_t, 96> kIso8859_16Upper = {
    0x00A0, 0x0104, 0x0105, 0x0141, 0x20AC, 0x201E, 0x0160, 0x00A7, 0x0161, 0x00A9, 0x0218, 0x00AB,
    0x0179, 0x00AD, 0x017A, 0x017B, 0x00B0, 0x00B1, 0x010C, 0x0142, 0x017D, 0x201D, 0x00B6, 0x00B7,
    0x017E, 0x010D, 0x0219, 0x00BB, 0x0152, 0x0153, 0x0178, 0x017C, 0x00C0, 0x00C1, 0x00C2, 0x0102,
    0x00C4, 0x0106, 0x00C6, 0x00C7, 0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
    0x0110, 0x0143, 0x00D2, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x015A, 0x0170, 0x00D9, 0x00DA, 0x00DB,
    0x00DC, 0x0118, 0x021A, 0x00DF, 0x00E0, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x0107, 0x00E6, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x0111, 0x0144, 0x00F2, 0x00F3,
    0x00F4, 0x0151, 0x00F6, 0x015B, 0x0171, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x0119, 0x021B, 0x00FF,
};

DecodeResult decode_single_byte_table(std::string_view bytes, bool user_defined) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else if (user_defined) {
            append_utf8(out, 0xF780 + (b - 0x80));
        } else if (b < 0xA0) {
            append_utf8(out, b);  // C1 controls, as in Latin-1
        } else {
            append_utf8(out, kIso8859_16Upper[b - 0xA0]);
        }
    }
    return {std::move(out), 0};
}

}  // namespace

DecodeResult decode_bytes(const Encoding& encoding, std::string&& bytes, std::stop_token stop) {
    if (encoding.kind == DecoderKind::Utf8 && is_valid_utf8(bytes)) {
        return {std::move(bytes), 0};
    }
    return decode_bytes(encoding, std::string_view(bytes), std::move(stop));
}

DecodeResult decode_bytes(const Encoding& encoding, std::string_view bytes, std::stop_token stop) {
    switch (encoding.kind) {
        case DecoderKind::Utf8:
            if (is_valid_utf8(bytes)) {
                return {std::string(bytes), 0};
            }
            return decode_with_icu("UTF-8", false, bytes, stop);
        case DecoderKind::Icu: {
            const bool euro = encoding.name == "GBK" || encoding.name == "gb18030";
            const auto pieces = split_into_pieces(bytes, split_rule(encoding));
            if (pieces.size() == 1) {
                return decode_with_icu(encoding.icu_name, euro, bytes, stop);
            }
            std::vector<std::future<DecodeResult>> decoding;
            for (std::size_t i = 1; i < pieces.size(); ++i) {
                decoding.push_back(std::async(std::launch::async, [&, i] {
                    return decode_with_icu(encoding.icu_name, euro, pieces[i], stop);
                }));
            }
            // The first piece's text has room for all of them, so the others are appended
            // without moving it.
            DecodeResult result{{}, 0};
            result.text.reserve(expected_utf8_size(bytes.size()));
            result.malformed =
                decode_with_icu(encoding.icu_name, euro, pieces[0], result.text, stop);
            for (auto& piece : decoding) {
                const DecodeResult rest = piece.get();
                result.text += rest.text;
                result.malformed += rest.malformed;
            }
            return result;
        }
        case DecoderKind::Iso8859_16:
            return decode_single_byte_table(bytes, false);
        case DecoderKind::UserDefined:
            return decode_single_byte_table(bytes, true);
        case DecoderKind::Replacement:
            return bytes.empty() ? DecodeResult{"", 0} : DecodeResult{"\xEF\xBF\xBD", 1};
    }
    return {"", 0};
}

}  // namespace marlowin
