#include "transfer/helper_process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <utility>

#include "workflow/transfer_error.h"

namespace marlowin {

namespace {

void close_all(std::initializer_list<int> fds) {
    for (const int fd : fds) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

}  // namespace

HelperProcess::HelperProcess(pid_t pid, int output, int wake_read, int wake_write)
    : pid_(pid), output_(output), wake_read_(wake_read), wake_write_(wake_write) {}

HelperProcess::HelperProcess(HelperProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      output_(std::exchange(other.output_, -1)),
      wake_read_(std::exchange(other.wake_read_, -1)),
      wake_write_(std::exchange(other.wake_write_, -1)),
      buffered_(std::move(other.buffered_)) {}

HelperProcess::~HelperProcess() {
    if (pid_ > 0) {
        kill(-pid_, SIGKILL);  // the whole group: a helper's own children too
        while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    close_all({output_, wake_read_, wake_write_});
}

std::optional<HelperProcess> HelperProcess::start(const std::string& program,
                                                  const std::string& input) {
    std::array<int, 2> to_child{-1, -1};
    std::array<int, 2> from_child{-1, -1};
    std::array<int, 2> wake{-1, -1};
    if (pipe2(to_child.data(), O_CLOEXEC) != 0 || pipe2(from_child.data(), O_CLOEXEC) != 0 ||
        pipe2(wake.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        close_all({to_child[0], to_child[1], from_child[0], from_child[1], wake[0], wake[1]});
        return std::nullopt;
    }
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_adddup2(&actions, to_child[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, from_child[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    std::array<char*, 2> argv{const_cast<char*>(program.c_str()), nullptr};
    const int spawned =
        posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close_all({to_child[0], from_child[1]});
    if (spawned != 0) {
        close_all({to_child[1], from_child[0], wake[0], wake[1]});
        return std::nullopt;
    }
    HelperProcess helper(pid, from_child[0], wake[0], wake[1]);
    // The question is a few hundred bytes at most, well within a pipe's buffer.
    const ssize_t written = write(to_child[1], input.data(), input.size());
    close(to_child[1]);
    if (written != static_cast<ssize_t>(input.size())) {
        return std::nullopt;
    }
    return helper;
}

HelperProcess::Read HelperProcess::read_line(std::string& line, std::size_t limit,
                                             std::chrono::steady_clock::time_point deadline,
                                             const std::stop_token& stop) {
    const std::stop_callback wake(stop, [fd = wake_write_] {
        const char byte = 0;
        static_cast<void>(write(fd, &byte, 1));
    });
    for (;;) {
        if (const std::size_t end = buffered_.find('\n'); end != std::string::npos) {
            line = buffered_.substr(0, std::min(end, limit));
            buffered_.erase(0, end + 1);
            return end > limit ? Read::CutLine : Read::Line;
        }
        if (stop.stop_requested()) {
            throw TransferCancelled();
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return Read::TimedOut;
        }
        std::array<pollfd, 2> fds{{{output_, POLLIN, 0}, {wake_read_, POLLIN, 0}}};
        if (poll(fds.data(), fds.size(), static_cast<int>(left.count()) + 1) < 0 &&
            errno != EINTR) {
            return Read::Ended;
        }
        if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            continue;
        }
        std::array<char, 4096> chunk{};
        const ssize_t got = read(output_, chunk.data(), chunk.size());
        if (got <= 0) {
            if (got < 0 && errno == EINTR) {
                continue;
            }
            return Read::Ended;
        }
        buffered_.append(chunk.data(), static_cast<std::size_t>(got));
        if (buffered_.find('\n') == std::string::npos && buffered_.size() > limit) {
            line = buffered_.substr(0, limit);  // a line past the limit: its start is enough
            buffered_.clear();
            return Read::CutLine;
        }
    }
}

}  // namespace marlowin
