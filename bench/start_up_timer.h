#pragma once

#include <optional>

namespace marlowin::bench {

/// Times how long a program takes from being started to mapping its first top-level window
/// on the X server named by DISPLAY; the program is then killed.
class StartUpTimer {
public:
    StartUpTimer();
    ~StartUpTimer();
    StartUpTimer(const StartUpTimer&) = delete;
    StartUpTimer& operator=(const StartUpTimer&) = delete;

    /// Seconds to the first window, or nothing without an X server or when it cannot start.
    std::optional<double> time_to_window(const char* program);

private:
    void* display_;  // an Xlib Display; Xlib's macros are kept out of Qt's way in the .cpp
};

}  // namespace marlowin::bench
