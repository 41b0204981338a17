#pragma once

#include <sys/types.h>
#include <unistd.h>

/// Runs the enclosing scope as an ordinary user, so that file permissions apply: root reads and
/// writes whatever it likes, which hides every "permission denied" path. As root it switches the
/// real and effective ids to nobody (65534) and keeps root as the saved id to switch back; as an
/// ordinary user it changes nothing.
class Unprivileged {
public:
    Unprivileged() {
        if (::geteuid() != 0)
            return;
        m_switched = ::setresgid(65534, 65534, 0) == 0 && ::setresuid(65534, 65534, 0) == 0;
    }
    ~Unprivileged() {
        if (m_switched) {
            [[maybe_unused]] const int u = ::setresuid(0, 0, 0);
            [[maybe_unused]] const int g = ::setresgid(0, 0, 0);
        }
    }
    Unprivileged(const Unprivileged&) = delete;
    Unprivileged& operator=(const Unprivileged&) = delete;

    /// Whether permissions now apply to this process (false only when the switch failed).
    bool active() const { return m_switched || ::geteuid() != 0; }

private:
    bool m_switched = false;
};
