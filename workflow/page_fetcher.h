#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <string_view>

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
};

/**
 * The transfer component as the window drives it: the retrieve action's Transfer, plus what a
 * window needs around a slow fetch. Header only, so the window can use the component from the
 * transfer module it loads at run time without linking the network stack itself.
 */
class PageFetcher : public Transfer {
public:
    /// Called on the fetching thread with the count of bytes received so far (headers and
    /// body, as they came off the wire), and once more, with @p all_arrived set, when the
    /// transfer has ended and only its decoding is left.
    using Progress = std::function<void(std::uint64_t bytes_received, bool all_arrived)>;

    /// Fetches @p address as open_url() does, reporting the bytes received to @p progress. Once
    /// @p stop is requested, from any thread, the fetch ends at once in whatever phase it is,
    /// with TransferCancelled.
    [[nodiscard]] virtual std::string fetch(const std::string& address, std::stop_token stop,
                                            const Progress& progress) = 0;

    [[nodiscard]] std::string open_url(const std::string& address) override {
        return fetch(address, {}, {});
    }
};

/// The number and description of the error that the transfer component cannot be loaded, a
/// number of the window's own beside the transfer's.
inline constexpr int kComponentMissing = 1000;
inline constexpr std::string_view kComponentMissingText = "无法加载网络组件，程序安装可能不完整";

/// The entry point of the transfer module: makes a fetcher with the given settings. Throws
/// TransferError when it cannot.
using CreatePageFetcher = void(const TransferOptions& options,
                               std::unique_ptr<PageFetcher>& fetcher);
inline constexpr const char* kCreatePageFetcherSymbol = "marlowin_create_page_fetcher";

}  // namespace marlowin
