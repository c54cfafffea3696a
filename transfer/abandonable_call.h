#pragma once

#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <utility>

#include "workflow/transfer_error.h"

namespace marlowin {

/**
 * Runs @p work on a thread of its own and waits for its result at most @p limit. A call that
 * blocks in a library with no way to interrupt it (a PAC script fetched or run) is left to
 * finish on its own, its result dropped: the caller goes on at once. nullopt when @p work
 * threw or took too long; throws TransferCancelled when @p stop is requested first.
 */
template <typename Work>
[[nodiscard]] auto call_abandonably(Work work, std::chrono::milliseconds limit,
                                    const std::stop_token& stop)
    -> std::optional<decltype(work())> {
    using Result = decltype(work());
    struct Shared {
        std::mutex mutex;
        std::condition_variable_any done;
        bool finished = false;
        std::optional<Result> result;
    };
    auto shared = std::make_shared<Shared>();
    std::thread([shared, work = std::move(work)]() mutable {
        std::optional<Result> result;
        try {
            result.emplace(work());
        } catch (...) {  // a failing resolver means a direct connection
        }
        const std::scoped_lock lock(shared->mutex);
        shared->result = std::move(result);
        shared->finished = true;
        shared->done.notify_all();
    }).detach();

    std::unique_lock lock(shared->mutex);
    const bool finished =
        shared->done.wait_for(lock, stop, limit, [&shared] { return shared->finished; });
    if (stop.stop_requested()) {
        throw TransferCancelled();
    }
    return finished ? std::move(shared->result) : std::nullopt;
}

}  // namespace marlowin
