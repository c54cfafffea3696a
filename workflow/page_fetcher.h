#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "workflow/transfer.h"

namespace marlowin {

/// Settings of the transfer component; the defaults are the program's.
struct TransferOptions {
    /// Longest wait for a connection.
    std::chrono::milliseconds connect_timeout{std::chrono::seconds(60)};
    /// Longest wait with no byte arriving, once the request is under way.
    std::chrono::milliseconds idle_timeout{std::chrono::seconds(60)};
    /// Largest document accepted, counted after decompression.
    std::size_t max_document_bytes = std::size_t{64} << 20;
    /// Redirects followed before giving up.
    long max_redirects = 20;
    /// A PEM file of trusted certificates instead of the system's store. Verification itself
    /// cannot be switched off.
    std::string ca_file;
    /// Host names answered without asking DNS, as "name:port:address" (curl's --resolve): a
    /// named host can then be served on 127.0.0.1.
    std::vector<std::string> fixed_addresses;
    /// Called on the fetching thread once a page is decoded, just before open_url() returns
    /// it: lets a test hold a fetch that has received and decoded everything.
    std::function<void()> before_delivery;
};

/**
 * The transfer component as the window drives it: the retrieve action's Transfer, plus what a
 * window needs around a slow fetch. Header only, so the window can use the component from the
 * transfer module it loads at run time without linking the network stack itself.
 */
class PageFetcher : public Transfer {
public:
    using ProgressCallback = std::function<void(std::uint64_t bytes_received, bool all_arrived)>;

    /// Called on the fetching thread with the count of bytes received so far (headers and
    /// body, as they came off the wire), and once more, with @p all_arrived set, when the
    /// transfer has ended and only its decoding is left.
    virtual void set_progress_callback(ProgressCallback callback) = 0;

    /// Stops the transfer under way, or the next one if none is. Thread-safe. A cancel stays
    /// in force until reset_cancel().
    virtual void cancel() = 0;
    virtual void reset_cancel() = 0;
};

/// The number of the error that the transfer component cannot be loaded: libcurl's
/// CURLE_FAILED_INIT, as if the network part could not start.
inline constexpr int kComponentMissing = 2;

/// The entry point of the transfer module: makes a fetcher with the given settings. Throws
/// TransferError when it cannot.
using CreatePageFetcher = void(const TransferOptions& options,
                               std::unique_ptr<PageFetcher>& fetcher);
inline constexpr const char* kCreatePageFetcherSymbol = "marlowin_create_page_fetcher";

}  // namespace marlowin
