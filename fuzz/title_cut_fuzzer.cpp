// The title cut on arbitrary text agrees with the slow, literal reading of the split rules.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "tests/shared/split_reference.h"
#include "workflow/title_cut.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view page(reinterpret_cast<const char*>(data), size);
    const auto fast = marlowin::cut_title(page);
    const auto slow = marlowin::testing::reference_cut(page);
    if (fast.has_value() != slow.has_value() || (fast && *fast != *slow)) {
        std::abort();
    }
    return 0;
}
