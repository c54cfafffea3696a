#include "decoding/charset_detector.h"

#include <uchardet/uchardet.h>

#include <algorithm>
#include <array>
#include <optional>
#include <type_traits>

#include "base/c_handle.h"
#include "decoding/decoding_error.h"

namespace marlowin {

namespace {

// A megabyte is far more than the detector needs to settle, and bounds its time on huge pages;
// it is fed in pieces so that a stop request is seen at once.
constexpr std::size_t kSampleLength = std::size_t{1} << 20;
constexpr std::size_t kPiece = std::size_t{64} << 10;

// uchardet's names that are not labels of the encoding that reads them. Every other name it
// gives is such a label ("GB18030", "SHIFT_JIS", "WINDOWS-1251", "ISO-8859-11", "TIS-620" ...).
struct DetectorName {
    std::string_view name;
    std::optional<EncodingId> encoding;  // nullopt: no encoding of the standard reads it
};
constexpr auto kDetectorNames = std::to_array<DetectorName>({
    {"EUC-TW", std::nullopt},
    {"HZ-GB-2312", std::nullopt},  // the standard decodes these to U+FFFD only
    {"IBM852", std::nullopt},
    {"IBM855", std::nullopt},
    {"ISO-2022-CN", std::nullopt},
    {"ISO-2022-KR", std::nullopt},
    {"JOHAB", std::nullopt},
    {"MAC-CENTRALEUROPE", std::nullopt},
    {"MAC-CYRILLIC", EncodingId::XMacCyrillic},
    {"UHC", EncodingId::EucKr},  // Unified Hangul Code: windows-949, the standard's EUC-KR
    {"UTF-16", std::nullopt},    // named only for a byte order mark, which is read first
    {"UTF-32", std::nullopt},
    {"VISCII", std::nullopt},
});

}  // namespace

const Encoding* encoding_for_detector_name(std::string_view name) {
    const auto it = std::find_if(kDetectorNames.begin(), kDetectorNames.end(),
                                 [&](const DetectorName& known) { return known.name == name; });
    if (it != kDetectorNames.end()) {
        return it->encoding ? &encoding(*it->encoding) : nullptr;
    }
    const Encoding* labelled = encoding_for_label(name);
    return labelled != nullptr && labelled->kind != DecoderKind::Replacement ? labelled : nullptr;
}

const Encoding* guess_encoding(std::string_view bytes, const std::stop_token& stop) {
    const CHandle<std::remove_pointer_t<uchardet_t>, uchardet_delete> detector(uchardet_new());
    if (!detector) {
        return nullptr;
    }
    const std::string_view sample = bytes.substr(0, std::min(bytes.size(), kSampleLength));
    for (std::size_t at = 0; at < sample.size(); at += kPiece) {
        if (stop.stop_requested()) {
            throw DecodingCancelled();
        }
        const std::string_view piece = sample.substr(at, kPiece);
        if (uchardet_handle_data(detector.get(), piece.data(), piece.size()) != 0) {
            return nullptr;
        }
    }
    uchardet_data_end(detector.get());
    const char* name = uchardet_get_charset(detector.get());
    return name != nullptr ? encoding_for_detector_name(name) : nullptr;
}

}  // namespace marlowin
