#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <string>

namespace marlowin {

/// How long a question may take the system's proxy resolver, a PAC script's fetch and run
/// included: a few seconds, as browsers allow a script, far below a page's minute.
inline constexpr std::chrono::milliseconds kResolverBudget{3000};

/**
 * The PAC scripts (or other sources of the system's answer) that failed or ran out of time
 * lately, remembered for a while, as Windows' auto-proxy service keeps its answer: a person
 * does not wait for a dead script on every click. Shared by the whole process.
 */
class SlowSources {
public:
    static constexpr std::chrono::minutes kMemory{5};

    void note(const std::string& source) {
        const std::scoped_lock lock(mutex_);
        failed_[source] = std::chrono::steady_clock::now();
    }
    /// Every source that failed within kMemory, one per line.
    [[nodiscard]] std::string recent_lines() {
        const std::scoped_lock lock(mutex_);
        std::string lines;
        for (const auto& [source, when] : failed_) {
            if (std::chrono::steady_clock::now() - when < kMemory) {
                lines += source + '\n';
            }
        }
        return lines;
    }
    [[nodiscard]] bool recent(const std::string& source) {
        const std::scoped_lock lock(mutex_);
        const auto found = failed_.find(source);
        return found != failed_.end() && std::chrono::steady_clock::now() - found->second < kMemory;
    }

private:
    std::mutex mutex_;
    std::map<std::string, std::chrono::steady_clock::time_point> failed_;
};

}  // namespace marlowin
