#include "Interruption.h"

#include <chrono>
#include <csignal>
#ifdef _WIN32
#include <windows.h>
#endif

namespace flintor::cli {

namespace {

// A handler may do no more than count: the watcher thread does the rest.
std::atomic<int> g_interruptions{0};
static_assert(std::atomic<int>::is_always_lock_free);

#ifdef _WIN32
BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        ++g_interruptions;
        return TRUE;
    }
    return FALSE;
}
#else
void OnSignal(int) {
    ++g_interruptions;
}

struct sigaction g_previousInt, g_previousTerm;
#endif

} // namespace

InterruptionCatcher::InterruptionCatcher(std::function<void()> interrupted)
    : m_interrupted(std::move(interrupted)) {
    g_interruptions = 0;
#ifdef _WIN32
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &g_previousInt);
    ::sigaction(SIGTERM, &action, &g_previousTerm);
#endif
    m_watcher = std::thread([this] {
        while (!m_done) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (g_interruptions.exchange(0) > 0 && !m_done) {
                m_interrupted();
            }
        }
    });
}

InterruptionCatcher::~InterruptionCatcher() {
    m_done = true;
    m_watcher.join();
#ifdef _WIN32
    ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
#else
    ::sigaction(SIGINT, &g_previousInt, nullptr);
    ::sigaction(SIGTERM, &g_previousTerm, nullptr);
#endif
}

} // namespace flintor::cli
