#pragma once

#include <cstddef>
#include <filesystem>
#include <fstream>
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
        namespace fs = std::filesystem;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) {
            ++usage.open_files;
        }
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/task")) {
            ++usage.threads;
        }
        return usage;
    }

    /// Starts the peak (VmHWM) afresh from the current resident size.
    static void reset_peak() { std::ofstream("/proc/self/clear_refs") << "5"; }
};

}  // namespace marlowin::testing
