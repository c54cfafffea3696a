#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <stop_token>
#include <string>

namespace marlowin {

/**
 * A program run for one question, its standard input and output piped, in a process group of
 * its own: whatever it does, it is killed and reaped when this ends, its children with it.
 */
class HelperProcess {
public:
    /// Starts @p program with @p input on its standard input; nullopt when it cannot start.
    [[nodiscard]] static std::optional<HelperProcess> start(const std::string& program,
                                                            const std::string& input);
    HelperProcess(HelperProcess&& other) noexcept;
    HelperProcess& operator=(HelperProcess&&) = delete;
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;
    ~HelperProcess();

    enum class Read { Line, CutLine, Ended, TimedOut };
    /// The next line of its output, waiting until @p deadline; of a line over @p limit bytes,
    /// its first @p limit (CutLine), after which nothing more is read.
    /// Throws TransferCancelled as soon as @p stop is requested.
    Read read_line(std::string& line, std::size_t limit,
                   std::chrono::steady_clock::time_point deadline, const std::stop_token& stop);

private:
    HelperProcess(pid_t pid, int output, int wake_read, int wake_write);

    pid_t pid_;
    int output_;
    int wake_read_;  // a byte arrives here when the question is cancelled
    int wake_write_;
    std::string buffered_;
};

}  // namespace marlowin
