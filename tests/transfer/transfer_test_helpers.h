#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <string_view>

#include "transfer/error_catalogue.h"
#include "workflow/transfer_error.h"

namespace marlowin::testing {

/// Expects @p call to end in a TransferError with @p number (0: any) and, unless it is left
/// empty, @p description; @p what names the case in a failure message. Whatever the number, the
/// description must be that number's one text (@p cap: the largest document accepted).
template <typename Call>
void expect_transfer_error(const Call& call, int number, std::string_view description = {},
                           std::string_view what = {}, std::size_t cap = std::size_t{64} << 20) {
    try {
        static_cast<void>(call());
        ADD_FAILURE() << what << ": no error";
    } catch (const TransferError& error) {
        if (number != 0) {
            EXPECT_EQ(error.number(), number) << what << " (" << error.detail() << ")";
        }
        EXPECT_EQ(error.description(), describe_number(error.number(), cap)) << what;
        if (!description.empty()) {
            EXPECT_EQ(error.description(), description) << what;
        }
    }
}

/// @p times copies of @p text deflated, with zlib's @p window_bits: 15 + 16 for one gzip
/// member, as a server sends it with Content-Encoding: gzip; 15 for zlib's format, -15 bare.
inline std::string deflated(std::string_view text, int window_bits, int times = 1) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, window_bits, 9, Z_DEFAULT_STRATEGY);
    std::string out;
    char buffer[65536];
    for (int i = 0; i < times; ++i) {
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
        stream.avail_in = static_cast<uInt>(text.size());
        do {
            stream.next_out = reinterpret_cast<Bytef*>(buffer);
            stream.avail_out = sizeof buffer;
            deflate(&stream, i + 1 == times ? Z_FINISH : Z_NO_FLUSH);
            out.append(buffer, sizeof buffer - stream.avail_out);
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    return out;
}

inline std::string gzip(std::string_view text, int times = 1) {
    return deflated(text, 15 + 16, times);
}

}  // namespace marlowin::testing
