#pragma once

// Ctrl+C during a write to the router: it must not end flintor-calc while the router takes an image, since
// a program that ends closes its data connection as if the image were whole. The request goes to the
// conversation instead, which follows it before the first byte of the image and refuses it after.

#include <atomic>
#include <functional>
#include <thread>

namespace flintor::cli {

/// While it lives, an interruption (Ctrl+C or SIGTERM; the console's Ctrl+C and Ctrl+Break on Windows)
/// does not end the program: interrupted is called for it, on a thread of the catcher's own.
class InterruptionCatcher {
public:
    explicit InterruptionCatcher(std::function<void()> interrupted);
    ~InterruptionCatcher();
    InterruptionCatcher(const InterruptionCatcher&) = delete;
    InterruptionCatcher& operator=(const InterruptionCatcher&) = delete;

private:
    std::function<void()> m_interrupted;
    std::atomic<bool> m_done{false};
    std::thread m_watcher;
};

} // namespace flintor::cli
