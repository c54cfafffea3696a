#pragma once

#include <zlib.h>

#include <chrono>
#include <string>
#include <string_view>

#include "transfer/curl_transfer.h"
#include "workflow/transfer_error.h"

namespace marlowin::testing {

/// The program's settings with time-outs short enough for tests.
inline TransferOptions quick_options() {
    TransferOptions options;
    options.connect_timeout = std::chrono::seconds(2);
    options.idle_timeout = std::chrono::seconds(1);
    return options;
}

/// The number of the TransferError a fetch ends with, or 0 when it succeeds.
inline int error_number_of(CurlTransfer& transfer, const std::string& url) {
    try {
        static_cast<void>(transfer.open_url(url));
    } catch (const TransferError& error) {
        return error.description().empty() ? -1 : error.number();
    }
    return 0;
}

/// @p text compressed as a gzip member, as a server sends it with Content-Encoding: gzip.
inline std::string gzip(std::string_view text) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, text.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

}  // namespace marlowin::testing
