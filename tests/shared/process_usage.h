#pragma once

#include <cstddef>

#if defined(_WIN32)
// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
// clang-format on
#else
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#endif

namespace marlowin::testing {

/// Counts of this process's resources, for leak checks: from /proc on Linux, from the process
/// status API on Windows.
struct ProcessUsage {
    std::size_t resident_kib = 0;  ///< VmRSS; the working set
    std::size_t peak_kib = 0;      ///< VmHWM since the last reset_peak(); the peak working set
    std::size_t open_files = 0;    ///< file descriptors; handles
    std::size_t threads = 0;

#if defined(_WIN32)
    static ProcessUsage now() {
        ProcessUsage usage;
        PROCESS_MEMORY_COUNTERS memory{};
        if (GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory)) {
            usage.resident_kib = memory.WorkingSetSize / 1024;
            usage.peak_kib = memory.PeakWorkingSetSize / 1024;
        }
        DWORD handles = 0;
        GetProcessHandleCount(GetCurrentProcess(), &handles);
        usage.open_files = handles;
        const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
        THREADENTRY32 thread{};
        thread.dwSize = sizeof thread;
        for (BOOL more = Thread32First(snapshot, &thread); more;
             more = Thread32Next(snapshot, &thread)) {
            usage.threads += thread.th32OwnerProcessID == GetCurrentProcessId() ? 1 : 0;
        }
        CloseHandle(snapshot);
        return usage;
    }
    /// Windows keeps its peak from the start; whether peaks can be measured here at all.
    static bool reset_peak() {
        return false;
    }
#else
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
    /// Starts the peak (VmHWM) afresh from the current resident size; whether peaks can be
    /// measured here at all.
    static bool reset_peak() {
        std::ofstream("/proc/self/clear_refs") << "5";
        return true;
    }
    /// The processes this one has started and not reaped, zombies too.
    static int children() {
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            std::ifstream stat(entry.path() / "stat");
            std::string text;
            std::getline(stat, text);
            // pid (name) state ppid ...: the name may hold spaces, the last ')' ends it.
            const std::size_t close = text.rfind(')');
            if (close != std::string::npos && std::stoi("0" + text.substr(close + 4)) == getpid()) {
                ++count;
            }
        }
        return count;
    }
#endif
};

}  // namespace marlowin::testing
