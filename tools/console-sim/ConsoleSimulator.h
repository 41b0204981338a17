#pragma once

// A simulated serial console of an Adam2 or PSP boot loader on a pseudo-terminal, for the tests and for
// trying the console features without a router: the program under test opens devicePath() as it would
// a serial adapter. The console is switched on after the first key from the PC (as an owner switches the
// router on when Flintor asks), prints its banner and countdown, offers its prompt to a key and answers
// printenv and setenv as the boot loaders do; it can be told to misbehave in the ways real ones do.
// Linux only.

#include "RouterSimulator.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace flintor {

/// The ways the simulated console misbehaves; all off by default.
struct ConsoleFaults {
    std::chrono::milliseconds powerOnDelay{0}; ///< switched on this long after the first key from the PC
    bool neverPowersOn = false;                ///< nothing connected: the console never says anything
    int bootsAnyway = 0; ///< the first power-ons ignore every key and boot the firmware (no prompt)
    /// After a firmware boot the router is switched on again this late; 0: only by powerOn().
    std::chrono::milliseconds rebootDelay{300};
    bool noise = false;                     ///< garbage (a power-on glitch, a wrong speed) before the banner
    bool noEcho = false;                    ///< typed characters are not echoed
    std::chrono::milliseconds charDelay{0}; ///< a slow console: each character of output this late
    bool forgetWrites = false;              ///< setenv prints nothing and keeps nothing
    bool hangUpOnWrite = false;             ///< setenv keeps the value, then the line goes dead
    bool endlessLine = false;               ///< printenv is answered by endless bytes without a line end
    bool silence = false;                   ///< after the first line at the prompt nothing is answered
};

/// What the simulated console is and holds.
struct ConsoleSettings {
    bool adam2 =
        true; ///< Adam2 (any key breaks in, prompt "Adam2_AR7RD > "); otherwise PSPBoot (ESC, "(psbl) ")
    SimulatedEnvironment environment;
    int countdown = 3;                             ///< the countdown's steps
    std::chrono::milliseconds countdownStep{1000}; ///< the time of each
    ConsoleFaults faults;
};

struct ConsoleServer;

/// The simulated console, serving on its own thread from construction until destruction.
class ConsoleSimulator {
public:
    /// Opens the pseudo-terminal at once (so that devicePath() is known); std::runtime_error when it cannot.
    explicit ConsoleSimulator(ConsoleSettings settings);
    ~ConsoleSimulator();
    ConsoleSimulator(const ConsoleSimulator&) = delete;
    ConsoleSimulator& operator=(const ConsoleSimulator&) = delete;

    /// The pseudo-terminal to open as the serial port ("/dev/pts/7").
    const std::string& devicePath() const;
    /// A variable's value now; none when it is not set.
    std::optional<std::string> value(const std::string& name) const;
    /// Every line entered at the prompt so far, control bytes written as "\x1b".
    std::vector<std::string> commands() const;
    /// How often the router was switched on.
    int powerOns() const;
    /// Switches the router on (again) now, as after a firmware boot.
    void powerOn();

private:
    std::unique_ptr<ConsoleServer> m_server;
};

} // namespace flintor
