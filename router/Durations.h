#pragma once

// How the conversations with a boot loader name a time limit and count one down.

#include <chrono>
#include <string>

namespace flintor {

/// "10 seconds", "1 second", "150 ms", "10 minutes".
inline std::string DurationText(std::chrono::milliseconds duration) {
    const auto ms = duration.count();
    if (ms >= 120'000 && ms % 60'000 == 0) {
        return std::to_string(ms / 60'000) + " minutes";
    }
    if (ms % 1000 != 0) {
        return std::to_string(ms) + " ms";
    }
    return std::to_string(ms / 1000) + (ms == 1000 ? " second" : " seconds");
}

/// Whole seconds, rounded up, so that a countdown shows 1 until the end.
inline long long SecondsLeft(std::chrono::milliseconds left) {
    return (left.count() + 999) / 1000;
}

} // namespace flintor
