#pragma once

#include <cstddef>

namespace marlowin {

/// The outcome of checking UTF-8 in bulk.
enum class BulkCheck { Unavailable, WellFormed, IllFormed };

/// Checks @p length bytes that end on a character boundary, many at a time where the build
/// and the processor allow it (utf8_bulk_avx2.cpp); Unavailable otherwise (utf8_bulk.cpp),
/// and the caller checks them itself.
[[nodiscard]] BulkCheck check_utf8_in_bulk(const unsigned char* data, std::size_t length);

}  // namespace marlowin
