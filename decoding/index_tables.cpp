#include "decoding/index_tables.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <span>
#include <string>

#include "base/c_handle.h"
#include "decoding/decoding_error.h"

namespace marlowin {

namespace {

/// Where ICU's converter and the standard disagree: pointers first to last read code_point
/// (0: nothing).
struct Correction {
    std::uint32_t first;
    std::uint32_t last;
    char32_t code_point;
};

// The byte sequence of a pointer in the encoding being read, empty where it has none.
using BytesOf = std::function<std::string(std::size_t pointer)>;

// What ICU reads for each pointer's bytes. The indexes of Big5, EUC-KR and JIS have no
// private-use code points, so ICU's private-use readings count as none there.
IndexTable read_with_icu(const char* converter_name, std::size_t size, const BytesOf& bytes_of,
                         bool private_use_is_none, std::span<const Correction> corrections) {
    UErrorCode status = U_ZERO_ERROR;
    const CHandle<UConverter, ucnv_close> converter(ucnv_open(converter_name, &status));
    if (U_SUCCESS(status)) {
        ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                            &status);
    }
    if (U_FAILURE(status) || !converter) {
        throw DecodingError(std::string("cannot open the ICU converter ") + converter_name + ": " +
                            u_errorName(status));
    }
    IndexTable index(size, 0);
    for (std::size_t pointer = 0; pointer < size; ++pointer) {
        const std::string bytes = bytes_of(pointer);
        if (bytes.empty()) {
            continue;
        }
        UChar units[4];
        status = U_ZERO_ERROR;
        const int32_t length = ucnv_toUChars(converter.get(), units, 4, bytes.data(),
                                             static_cast<int32_t>(bytes.size()), &status);
        if (U_FAILURE(status) || length < 1) {
            continue;
        }
        int32_t at = 0;
        UChar32 code_point = 0;
        U16_NEXT(units, at, length, code_point);
        if (at != length || (private_use_is_none && code_point >= 0xE000 && code_point <= 0xF8FF)) {
            continue;
        }
        index[pointer] = static_cast<char32_t>(code_point);
    }
    for (const Correction& c : corrections) {
        for (std::uint32_t pointer = c.first; pointer <= c.last; ++pointer) {
            index[pointer] = c.code_point;
        }
    }
    return index;
}

std::string bytes_of(std::initializer_list<unsigned> values) {
    std::string out;
    for (const unsigned v : values) {
        out += static_cast<char>(v);
    }
    return out;
}

// Two bytes where the trail's range has a gap: the pointer's column counts from first_trail,
// and past gap_at continues at gap_at + gap.
std::string two_bytes(std::size_t pointer, unsigned lead_base, std::size_t row_length,
                      unsigned first_trail, unsigned gap_at, unsigned gap) {
    const auto row = static_cast<unsigned>(pointer / row_length);
    const auto column = static_cast<unsigned>(pointer % row_length);
    unsigned trail = first_trail + column;
    if (trail >= gap_at) {
        trail += gap;
    }
    return bytes_of({lead_base + row, trail});
}

// ISO-8859-16, which ICU's data lacks: the standard's index-iso-8859-16.
constexpr std::array<char32_t, 128> kIso8859_16 = {
    0x0080, 0x0081, 0x0082, 0x0083, 0x0084, 0x0085, 0x0086, 0x0087, 0x0088, 0x0089, 0x008A, 0x008B,
    0x008C, 0x008D, 0x008E, 0x008F, 0x0090, 0x0091, 0x0092, 0x0093, 0x0094, 0x0095, 0x0096, 0x0097,
    0x0098, 0x0099, 0x009A, 0x009B, 0x009C, 0x009D, 0x009E, 0x009F, 0x00A0, 0x0104, 0x0105, 0x0141,
    0x20AC, 0x201E, 0x0160, 0x00A7, 0x0161, 0x00A9, 0x0218, 0x00AB, 0x0179, 0x00AD, 0x017A, 0x017B,
    0x00B0, 0x00B1, 0x010C, 0x0142, 0x017D, 0x201D, 0x00B6, 0x00B7, 0x017E, 0x010D, 0x0219, 0x00BB,
    0x0152, 0x0153, 0x0178, 0x017C, 0x00C0, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0106, 0x00C6, 0x00C7,
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF, 0x0110, 0x0143, 0x00D2, 0x00D3,
    0x00D4, 0x0150, 0x00D6, 0x015A, 0x0170, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x0118, 0x021A, 0x00DF,
    0x00E0, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x0107, 0x00E6, 0x00E7, 0x00E8, 0x00E9, 0x00EA, 0x00EB,
    0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x0111, 0x0144, 0x00F2, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x015B,
    0x0171, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x0119, 0x021B, 0x00FF,
};

}  // namespace

const IndexTable& gb18030_index() {
    // 0xA3A0 reads U+3000, as deployed content expects; the rest are GB18030-2022's two-byte
    // mappings, which replaced private-use code points.
    static constexpr Correction kCorrections[] = {
        {6555, 6555, 0x3000},   {7182, 7182, 0xFE10},   {7183, 7183, 0xFE12},
        {7184, 7184, 0xFE11},   {7185, 7185, 0xFE13},   {7186, 7186, 0xFE14},
        {7187, 7187, 0xFE15},   {7188, 7188, 0xFE16},   {7201, 7201, 0xFE17},
        {7202, 7202, 0xFE18},   {7208, 7208, 0xFE19},   {23775, 23775, 0x9FB4},
        {23783, 23783, 0x9FB5}, {23788, 23788, 0x9FB6}, {23789, 23789, 0x9FB7},
        {23795, 23795, 0x9FB8}, {23812, 23812, 0x9FB9}, {23829, 23829, 0x9FBA},
        {23845, 23845, 0x9FBB},
    };
    static const IndexTable index = read_with_icu(
        "gb18030", 23940, [](std::size_t p) { return two_bytes(p, 0x81, 190, 0x40, 0x7F, 1); },
        false, kCorrections);
    return index;
}

const IndexTable& gb18030_ranges_index() {
    static const IndexTable index =
        read_with_icu("gb18030", 39420,
                      [](std::size_t p) {
                          const auto q = static_cast<unsigned>(p);
                          return bytes_of({0x81 + q / 12600, 0x30 + q / 1260 % 10,
                                           0x81 + q / 10 % 126, 0x30 + q % 10});
                      },
                      false, {});
    return index;
}

const IndexTable& big5_index() {
    static constexpr Correction kCorrections[] = {
#include "decoding/big5_corrections.inc"
    };
    static const IndexTable index = read_with_icu(
        "ibm-1375_P100-2008", 19782,
        [](std::size_t p) { return two_bytes(p, 0x81, 157, 0x40, 0x7F, 0x22); }, true,
        kCorrections);
    return index;
}

const IndexTable& jis0208_index() {
    // Read through Shift_JIS, which reaches every pointer; 8836 to 10715 are the EUDC rows,
    // which the Shift_JIS decoder maps by formula and the index leaves empty.
    static const IndexTable index =
        read_with_icu("ibm-943_P15A-2003", 11280,
                      [](std::size_t p) {
                          if (p >= 8836 && p <= 10715) {
                              return std::string();
                          }
                          const auto lead = static_cast<unsigned>(p / 188);
                          const auto column = static_cast<unsigned>(p % 188);
                          return bytes_of({lead + (lead < 0x1F ? 0x81 : 0xC1),
                                           column + (column < 0x3F ? 0x40 : 0x41)});
                      },
                      true, {});
    return index;
}

const IndexTable& jis0212_index() {
    // ICU reads IBM's extensions in row 83; the standard's JIS X 0212 has none.
    static constexpr Correction kCorrections[] = {{7708, 7727, 0}, {7730, 7730, 0}};
    static const IndexTable index = read_with_icu(
        "euc-jp-2007", 8836,
        [](std::size_t p) {
            const auto q = static_cast<unsigned>(p);
            return bytes_of({0x8F, 0xA1 + q / 94, 0xA1 + q % 94});
        },
        true, kCorrections);
    return index;
}

const IndexTable& euc_kr_index() {
    static const IndexTable index = read_with_icu(
        "windows-949-2000", 23940,
        [](std::size_t p) { return two_bytes(p, 0x81, 190, 0x41, 0x100, 0); }, true, {});
    return index;
}

const std::array<char32_t, 128>& single_byte_index(const Encoding& encoding) {
    // Where ICU's tables and the standard's differ.
    static constexpr Correction kKoi8U[] = {{0x2E, 0x2E, 0x045E}, {0x3E, 0x3E, 0x040E}};
    static constexpr Correction kWindows874[] = {{0x5B, 0x5E, 0}, {0x7C, 0x7F, 0}};
    static constexpr Correction kWindows1253[] = {{0x2A, 0x2A, 0}};
    static constexpr Correction kWindows1255[] = {{0x4A, 0x4A, 0x05BA}};

    static std::array<std::once_flag, kEncodingCount> once;
    static std::array<std::array<char32_t, 128>, kEncodingCount> tables;
    const auto id = static_cast<std::size_t>(encoding.id);
    std::call_once(once[id], [&] {
        std::span<const Correction> corrections;
        switch (encoding.id) {
            case EncodingId::Koi8U:
                corrections = kKoi8U;
                break;
            case EncodingId::Windows874:
                corrections = kWindows874;
                break;
            case EncodingId::Windows1253:
                corrections = kWindows1253;
                break;
            case EncodingId::Windows1255:
                corrections = kWindows1255;
                break;
            default:
                break;
        }
        if (encoding.icu_name.empty()) {  // ISO-8859-16: a table of our own
            std::copy(kIso8859_16.begin(), kIso8859_16.end(), tables[id].begin());
            return;
        }
        const IndexTable read = read_with_icu(
            std::string(encoding.icu_name).c_str(), 128,
            [](std::size_t p) { return bytes_of({0x80 + static_cast<unsigned>(p)}); }, false,
            corrections);
        std::copy(read.begin(), read.end(), tables[id].begin());
    });
    return tables[id];
}

}  // namespace marlowin
