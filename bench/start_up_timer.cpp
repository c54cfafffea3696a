#include "bench/start_up_timer.h"

#include <X11/Xlib.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace marlowin::bench {

StartUpTimer::StartUpTimer() : display_(XOpenDisplay(nullptr)) {
    if (display_ != nullptr) {
        auto* display = static_cast<Display*>(display_);
        XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
        XSync(display, True);
    }
}

StartUpTimer::~StartUpTimer() {
    if (display_ != nullptr) {
        XCloseDisplay(static_cast<Display*>(display_));
    }
}

std::optional<double> StartUpTimer::time_to_window(const char* program) {
    if (display_ == nullptr) {
        return std::nullopt;
    }
    auto* display = static_cast<Display*>(display_);
    char* argv[] = {const_cast<char*>(program), nullptr};
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (const int failed = posix_spawn(&child, program, nullptr, nullptr, argv, environ);
        failed != 0) {
        std::fprintf(stderr, "cannot start %s: %s\n", program, std::strerror(failed));
        return std::nullopt;
    }
    XEvent event;
    do {
        XNextEvent(display, &event);
    } while (event.type != MapNotify);
    const auto mapped = std::chrono::steady_clock::now();
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    XSync(display, True);  // drop the events of the window going away
    return std::chrono::duration<double>(mapped - start).count();
}

}  // namespace marlowin::bench
