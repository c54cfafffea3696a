#pragma once

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace marlowin::testing {

/// Counts of this process's resources, read from /proc (Linux), for leak checks.
struct ProcessUsage {
    std::size_t resident_kib = 0;  ///< VmRSS
    std::size_t peak_kib = 0;      ///< VmHWM, since the last reset_peak()
    std::size_t open_files = 0;
    std::size_t threads = 0;

    static ProcessUsage now() {
        ProcessUsage usage;
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("VmRSS:")) {
                usage.resident_kib = std::stoul(line.substr(6));
            } else if (line.starts_with("VmHWM:")) {
                usage.peak_kib = std::stoul(line.substr(6));
            }
        }
        using entries = std::filesystem::directory_iterator;
        usage.open_files = static_cast<std::size_t>(std::distance(entries("/proc/self/fd"), {}));
        usage.threads = static_cast<std::size_t>(std::distance(entries("/proc/self/task"), {}));
        return usage;
    }

    /// Starts the peak (VmHWM) afresh from the current resident size.
    static void reset_peak() { std::ofstream("/proc/self/clear_refs") << "5"; }
};

}  // namespace marlowin::testing
