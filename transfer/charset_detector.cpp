#include "transfer/charset_detector.h"

#include <uchardet/uchardet.h>

#include <algorithm>
#include <memory>

namespace marlowin {

namespace {

struct DetectorDeleter {
    void operator()(uchardet_t detector) const { uchardet_delete(detector); }
};

// A megabyte is far more than the detector needs to settle, and bounds its time on huge pages.
constexpr std::size_t kSampleLength = std::size_t{1} << 20;

}  // namespace

std::string guess_charset(std::string_view bytes) {
    const std::unique_ptr<std::remove_pointer_t<uchardet_t>, DetectorDeleter> detector(
        uchardet_new());
    if (!detector) {
        return {};
    }
    const std::string_view sample = bytes.substr(0, std::min(bytes.size(), kSampleLength));
    if (uchardet_handle_data(detector.get(), sample.data(), sample.size()) != 0) {
        return {};
    }
    uchardet_data_end(detector.get());
    const char* name = uchardet_get_charset(detector.get());
    return name != nullptr ? std::string(name) : std::string();
}

}  // namespace marlowin
