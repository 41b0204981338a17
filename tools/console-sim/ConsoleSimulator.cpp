#include "ConsoleSimulator.h"

#include "AsciiText.h"

#include <algorithm>
#include <array>
#include <asio/io_context.hpp>
#include <asio/posix/stream_descriptor.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace flintor {

namespace {

// As the boot loaders' own line buffers: longer input is dropped.
constexpr std::size_t kLongestInput = 4096;
// printenv's column for the values.
constexpr std::size_t kValueColumn = 18;

constexpr const char* kPspBanner = "\r\nPSPBoot 1.4.0.6 (simulated console)\r\n"
                                   "Flash 4 MB, memory 16 MB\r\n"
                                   "Press ESC for monitor...";
constexpr const char* kAdam2Banner =
    "\r\nAdam2 boot loader 0.22.06 (simulated console)\r\n"
    "Flash 4 MB, memory 16 MB\r\n"
    "Press any key to abort OS load, or wait 3 seconds for OS to boot...\r\n";
constexpr const char* kKernelMessages =
    "\r\nStarting kernel at 0x94000000 ...\r\n"
    "Linux version 2.4.17 (simulated firmware) #1 Tue Jan 1 00:00:00 2008\r\n"
    "Kernel command line: root=/dev/mtdblock0 console=ttyS0,38400\r\n"
    "VFS: Mounted root (squashfs filesystem) readonly.\r\n"
    "Freeing unused kernel memory: 64k freed\r\n";

std::string Padded(const std::string& name) {
    std::string padded = name;
    padded.resize(std::max(name.size() + 1, kValueColumn), ' ');
    return padded;
}

// What a wrong speed or a power-on glitch puts on the line: the same bytes every time.
std::string Noise() {
    std::string noise;
    unsigned state = 12345;
    for (int i = 0; i < 300; ++i) {
        state = state * 1103515245u + 12345u;
        noise += static_cast<char>((state >> 16) & 0xFF);
    }
    return noise + "\r\n";
}

} // namespace

struct ConsoleServer {
    enum class Phase { Off, Countdown, Prompt, Firmware, Dead };

    explicit ConsoleServer(ConsoleSettings settings) : settings(std::move(settings)) {}

    void start() {
        int masterFd = -1;
        if (::openpty(&masterFd, &slaveFd, nullptr, nullptr, nullptr) != 0) {
            throw std::runtime_error("console-sim: no pseudo-terminal could be opened");
        }
        // Raw from the start: the bytes the console sends before the PC side opens the port must not be
        // changed by a line discipline. The simulator's own descriptor of that side keeps the settings.
        termios raw{};
        ::tcgetattr(slaveFd, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(slaveFd, TCSANOW, &raw);
        path = ::ptsname(masterFd);
        master.assign(masterFd);
        environment = settings.environment;
        read();
        thread = std::thread([this] { io.run(); });
    }

    void stop() {
        io.stop();
        if (thread.joinable()) {
            thread.join();
        }
        if (slaveFd >= 0) {
            ::close(slaveFd);
        }
    }

    void read() {
        master.async_read_some(asio::buffer(chunk), [this](const std::error_code& e, std::size_t count) {
            if (e) {
                return;
            }
            for (std::size_t i = 0; i < count && phase != Phase::Dead; ++i) {
                key(chunk[i]);
            }
            if (phase != Phase::Dead) {
                read();
            }
        });
    }

    void key(char c) {
        const ConsoleFaults& faults = settings.faults;
        switch (phase) {
        case Phase::Off:
            // The owner switches the router on when Flintor starts pressing keys.
            if (!powerScheduled && !faults.neverPowersOn) {
                powerScheduled = true;
                after(powerTimer, faults.powerOnDelay, [this] { switchOn(); });
            }
            break;
        case Phase::Countdown:
            if ((settings.adam2 || c == '\x1b') && bootsLeft == 0) {
                countdownTimer.cancel();
                phase = Phase::Prompt;
                line.clear();
                lastWasCr = false;
                emit("\r\n\r\n");
                emitPrompt();
            }
            break;
        case Phase::Prompt:
            typed(c);
            break;
        default:
            break;
        }
    }

    void typed(char c) {
        if (c == '\n' && lastWasCr) {
            lastWasCr = false;
            return;
        }
        lastWasCr = c == '\r';
        if (c == '\r' || c == '\n') {
            const std::string entered = std::move(line);
            line.clear();
            {
                std::lock_guard lock(mutex);
                commands.push_back(Escaped(entered));
            }
            // The Enter that clears the keys of the break-in is still answered.
            if (settings.faults.silence && linesAnswered > 0) {
                return;
            }
            ++linesAnswered;
            echo("\r\n");
            execute(entered);
            return;
        }
        if (line.size() < kLongestInput) {
            line += c;
        }
        // Keys that print nothing are kept in the line all the same.
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) {
            echo(std::string(1, c));
        }
    }

    void execute(const std::string& entered) {
        const std::size_t space = entered.find(' ');
        const std::string verb = entered.substr(0, space);
        const std::string argument = space == std::string::npos ? std::string() : entered.substr(space + 1);
        if (entered.empty()) {
        } else if (verb == "printenv" && settings.faults.endlessLine) {
            flood();
            return;
        } else if (verb == "printenv" && argument.empty()) {
            std::string listing;
            std::lock_guard lock(mutex);
            for (const auto& [name, value] : environment) {
                listing += Padded(name) + value + "\r\n";
            }
            emit(listing);
        } else if (verb == "printenv" && settings.adam2) {
            emit("printenv: too many arguments\r\n");
        } else if (verb == "printenv") {
            std::lock_guard lock(mutex);
            for (const auto& [name, value] : environment) {
                if (name == argument) {
                    emit(Padded(name) + value + "\r\n");
                }
            }
        } else if (verb == "setenv") {
            const std::size_t blank = argument.find(' ');
            if (blank == std::string::npos || blank == 0 || blank + 1 == argument.size()) {
                emit("Usage: setenv NAME VALUE\r\n");
            } else if (!settings.faults.forgetWrites) {
                std::lock_guard lock(mutex);
                SetVariable(environment, argument.substr(0, blank), argument.substr(blank + 1));
            }
            if (settings.faults.hangUpOnWrite) {
                hangUp();
                return;
            }
        } else {
            emit("Unknown command\r\n");
        }
        emitPrompt();
    }

    void switchOn() {
        {
            std::lock_guard lock(mutex);
            ++powerOns;
        }
        countdownTimer.cancel();
        bootsLeft = std::max(0, settings.faults.bootsAnyway - (powerOns - 1));
        phase = Phase::Countdown;
        if (settings.faults.noise) {
            emit(Noise());
        }
        emit(settings.adam2 ? kAdam2Banner : kPspBanner);
        countdownLeft = settings.countdown;
        tick();
    }

    void tick() {
        if (countdownLeft == 0) {
            phase = Phase::Firmware;
            emit(kKernelMessages);
            if (settings.faults.rebootDelay.count() > 0) {
                after(powerTimer, settings.faults.rebootDelay, [this] { switchOn(); });
            }
            return;
        }
        if (!settings.adam2) {
            emit(" " + std::to_string(countdownLeft));
        }
        --countdownLeft;
        after(countdownTimer, settings.countdownStep, [this] { tick(); });
    }

    void after(asio::steady_timer& timer, std::chrono::milliseconds delay, std::function<void()> then) {
        timer.expires_after(delay);
        timer.async_wait([then = std::move(then)](const std::error_code& e) {
            if (!e) {
                then();
            }
        });
    }

    void emitPrompt() { emit(settings.adam2 ? "Adam2_AR7RD > " : "(psbl) "); }

    void echo(const std::string& text) {
        if (!settings.faults.noEcho) {
            emit(text);
        }
    }

    void emit(const std::string& text) {
        if (phase == Phase::Dead) {
            return;
        }
        outQueue += text;
        pump();
    }

    // Sends the queue, a character at a time for a slow console.
    void pump() {
        if (writing || outQueue.empty() || phase == Phase::Dead) {
            return;
        }
        writing = true;
        const std::chrono::milliseconds delay = settings.faults.charDelay;
        const std::size_t take = delay.count() > 0 ? 1 : outQueue.size();
        auto piece = std::make_shared<std::string>(outQueue.substr(0, take));
        outQueue.erase(0, take);
        asio::async_write(master, asio::buffer(*piece),
                          [this, piece, delay](const std::error_code& e, std::size_t) {
                              if (e) {
                                  return;
                              }
                              if (delay.count() == 0) {
                                  writing = false;
                                  pump();
                                  return;
                              }
                              after(charTimer, delay, [this] {
                                  writing = false;
                                  pump();
                              });
                          });
    }

    // Bytes without a line end until the PC side gives up.
    void flood() {
        static const std::string chunk(16 * 1024, 'A');
        asio::async_write(master, asio::buffer(chunk), [this](const std::error_code& e, std::size_t) {
            if (!e && phase != Phase::Dead) {
                flood();
            }
        });
    }

    void hangUp() {
        phase = Phase::Dead;
        std::error_code ignored;
        master.close(ignored);
        ::close(slaveFd);
        slaveFd = -1;
    }

    ConsoleSettings settings;
    asio::io_context io;
    asio::posix::stream_descriptor master{io};
    asio::steady_timer powerTimer{io};
    asio::steady_timer countdownTimer{io};
    asio::steady_timer charTimer{io};
    std::thread thread;
    int slaveFd = -1;
    std::string path;
    std::array<char, 4096> chunk{};
    // The server thread's only:
    Phase phase = Phase::Off;
    bool powerScheduled = false;
    int bootsLeft = 0;
    int countdownLeft = 0;
    std::string line;
    bool lastWasCr = false;
    int linesAnswered = 0;
    std::string outQueue;
    bool writing = false;

    mutable std::mutex mutex; // guards what follows
    SimulatedEnvironment environment;
    std::vector<std::string> commands;
    int powerOns = 0;
};

ConsoleSimulator::ConsoleSimulator(ConsoleSettings settings)
    : m_server(std::make_unique<ConsoleServer>(std::move(settings))) {
    m_server->start();
}

ConsoleSimulator::~ConsoleSimulator() {
    m_server->stop();
}

const std::string& ConsoleSimulator::devicePath() const {
    return m_server->path;
}

std::optional<std::string> ConsoleSimulator::value(const std::string& name) const {
    std::lock_guard lock(m_server->mutex);
    for (const auto& [variable, value] : m_server->environment) {
        if (variable == name) {
            return value;
        }
    }
    return std::nullopt;
}

std::vector<std::string> ConsoleSimulator::commands() const {
    std::lock_guard lock(m_server->mutex);
    return m_server->commands;
}

int ConsoleSimulator::powerOns() const {
    std::lock_guard lock(m_server->mutex);
    return m_server->powerOns;
}

void ConsoleSimulator::powerOn() {
    asio::post(m_server->io, [server = m_server.get()] {
        if (server->phase != ConsoleServer::Phase::Dead) {
            server->powerTimer.cancel();
            server->switchOn();
        }
    });
}

} // namespace flintor
