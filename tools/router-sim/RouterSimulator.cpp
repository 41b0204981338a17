#include "RouterSimulator.h"

#include <algorithm>
#include <array>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace flintor {

namespace {

// As the boot loader's own line buffer: a longer command drops the connection.
constexpr std::size_t kLongestCommand = 4096;
// printenv's column for the values.
constexpr std::size_t kValueColumn = 18;

std::string Padded(const std::string& name) {
    std::string padded = name;
    padded.resize(std::max(name.size() + 1, kValueColumn), ' ');
    return padded;
}

bool HasLowerCase(const std::string& word) {
    return std::any_of(word.begin(), word.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

} // namespace

void SetVariable(SimulatedEnvironment& environment, const std::string& name, const std::string& value) {
    const auto it = std::find_if(environment.begin(), environment.end(),
                                 [&name](const auto& entry) { return entry.first == name; });
    if (it == environment.end()) {
        environment.emplace_back(name, value);
    } else {
        it->second = value;
    }
}

void UnsetVariable(SimulatedEnvironment& environment, const std::string& name) {
    std::erase_if(environment, [&name](const auto& entry) { return entry.first == name; });
}

SimulatedEnvironment SampleEnvironment(bool adam2) {
    if (adam2) {
        return {{"bootloaderVersion", "0.22.06"},  {"ProductID", "FLR4-A"},
                {"memsize", "0x01000000"},         {"flashsize", "0x00400000"},
                {"HWA_0", "02:10:18:4e:3a:92"},    {"mtd2", "0x90000000,0x90010000"},
                {"mtd1", "0x90010000,0x90020000"}, {"mtd0", "0x90020000,0x903f0000"},
                {"mtd3", "0x903f0000,0x90400000"}, {"mtd4", "0x90010000,0x903f0000"}};
    }
    return {{"bootloaderVersion", "1.4.0.6"},  {"ProductID", "FLR4"},
            {"memsize", "0x01000000"},         {"flashsize", "0x00400000"},
            {"HWA_0", "02:10:18:4e:3a:91"},    {"mtd0", "0x900a0000,0x90400000"},
            {"mtd1", "0x90020090,0x90022000"}, {"mtd2", "0x90000000,0x90010000"},
            {"mtd3", "0x90010000,0x90020000"}, {"mtd4", "0x90020000,0x90400000"}};
}

class SimulatedSession;

struct SimulatorServer {
    explicit SimulatorServer(SimulatorSettings settings) : settings(std::move(settings)) {}

    void start() {
        std::error_code error;
        const asio::ip::address host = asio::ip::make_address(settings.host, error);
        if (error || !host.is_loopback()) {
            throw std::runtime_error("router-sim listens on a loopback address only, not " + settings.host);
        }
        const asio::ip::tcp::endpoint endpoint(host, settings.port);
        acceptor.open(endpoint.protocol());
        // Bound before it listens: during a late start connections are refused, as by a router whose
        // server is not up yet, and the port is known at once.
        acceptor.bind(endpoint);
        port = acceptor.local_endpoint().port();
        environment = settings.environment;
        if (settings.faults.lateStart.count() == 0) {
            // Listening before the constructor returns: whoever learns the port can connect at once.
            listen();
        } else {
            startTimer.expires_after(settings.faults.lateStart);
            startTimer.async_wait([this](const std::error_code& e) {
                if (!e) {
                    listen();
                }
            });
        }
        thread = std::thread([this] { io.run(); });
    }

    void stop() {
        io.stop();
        if (thread.joinable()) {
            thread.join();
        }
    }

    void listen() {
        std::error_code error;
        acceptor.listen(asio::socket_base::max_listen_connections, error);
        if (error) {
            return;
        }
        accept();
        if (settings.faults.powerOnWindow.count() > 0) {
            windowTimer.expires_after(settings.faults.powerOnWindow);
            windowTimer.async_wait([this](const std::error_code& e) {
                if (!e) {
                    endWindow();
                }
            });
        } else {
            std::lock_guard lock(mutex);
            windowEnded = true;
            windowChanged.notify_all();
        }
    }

    void accept();
    void endWindow();

    void record(const std::string& command) {
        std::lock_guard lock(mutex);
        commands.push_back(command);
    }

    SimulatorSettings settings;
    asio::io_context io;
    asio::ip::tcp::acceptor acceptor{io};
    asio::steady_timer startTimer{io};
    asio::steady_timer windowTimer{io};
    std::thread thread;
    std::uint16_t port = 0;
    std::vector<std::weak_ptr<SimulatedSession>> sessions; // the server thread's only

    mutable std::mutex mutex; // guards what follows
    mutable std::condition_variable windowChanged;
    SimulatedEnvironment environment;
    std::vector<std::string> commands;
    bool someoneLoggedIn = false;
    bool windowEnded = false;
    bool windowClosed = false;
};

// One client's connection: reads a command line, answers it (after the reply delay), reads the next.
class SimulatedSession : public std::enable_shared_from_this<SimulatedSession> {
public:
    SimulatedSession(SimulatorServer& server, asio::ip::tcp::socket socket)
        : m_server(server), m_socket(std::move(socket)), m_delay(server.io) {}

    void start() {
        std::error_code ignored;
        m_socket.set_option(asio::ip::tcp::no_delay(true), ignored);
        const SimulatorSettings& settings = m_server.settings;
        send("220 " +
             (!settings.greeting.empty() ? settings.greeting
              : settings.adam2           ? std::string("ADAM2 FTP Server ready.")
                                         : std::string("PSPBoot FTP Server ready.")) +
             "\r\n");
    }

    void close() {
        std::error_code ignored;
        m_delay.cancel();
        m_socket.close(ignored);
    }

private:
    // The next whole command line, read as far as needed.
    void next() {
        const std::size_t end = m_input.find('\n');
        if (end == std::string::npos) {
            if (m_input.size() > kLongestCommand) {
                close();
                return;
            }
            m_socket.async_read_some(asio::buffer(m_chunk), [self = shared_from_this()](
                                                                const std::error_code& e, std::size_t count) {
                if (e) {
                    self->close();
                    return;
                }
                self->m_input.append(self->m_chunk.data(), count);
                self->next();
            });
            return;
        }
        std::string line = m_input.substr(0, end);
        m_input.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.size() > kLongestCommand) {
            close();
            return;
        }
        handle(line);
    }

    void handle(const std::string& line) {
        m_server.record(line);
        const std::size_t space = line.find(' ');
        const std::string verb = line.substr(0, space);
        const std::string argument = space == std::string::npos ? std::string() : line.substr(space + 1);
        const SimulatorFaults& faults = m_server.settings.faults;
        if (HasLowerCase(verb)) {
            send("500 '" + verb + "': command not understood.\r\n");
        } else if (verb == "USER") {
            m_user = argument;
            send("331 Password required for " + argument + ".\r\n");
        } else if (verb == "PASS") {
            login(argument);
        } else if (!m_loggedIn) {
            send("530 Please login with USER and PASS.\r\n");
        } else if (faults.silence) {
            next();
        } else if (verb == "GETENV") {
            if (faults.flood) {
                flood();
            } else {
                send(getenv(argument));
            }
        } else if (verb == "SETENV") {
            setenv(argument);
        } else if (verb == "UNSETENV") {
            std::lock_guard lock(m_server.mutex);
            UnsetVariable(m_server.environment, argument);
            send("200 UNSETENV command successful\r\n");
        } else if (verb == "REBOOT") {
            send("221 Goodbye.\r\n", true);
        } else {
            send("502 Command not implemented.\r\n");
        }
    }

    void login(const std::string& password) {
        const SimulatorSettings& settings = m_server.settings;
        if (settings.faults.refuseLogin || m_user != settings.user || password != settings.password) {
            send("530 Login incorrect.\r\n");
            return;
        }
        m_loggedIn = true;
        {
            std::lock_guard lock(m_server.mutex);
            m_server.someoneLoggedIn = true;
        }
        send("230 User " + m_user + " successfully logged in.\r\n");
    }

    std::string getenv(const std::string& name) {
        const std::string prefix = m_server.settings.continuationValues || name.empty() ? "200-" : "";
        std::string values;
        std::lock_guard lock(m_server.mutex);
        for (const auto& [variable, value] : m_server.environment) {
            if (name.empty() || variable == name) {
                values += prefix + Padded(variable) + value + "\r\n";
            }
        }
        const std::string reply = "200 GETENV command successful\r\n";
        return m_server.settings.faults.valueAfterReply ? reply + values : values + reply;
    }

    void setenv(const std::string& argument) {
        const std::size_t comma = argument.find(',');
        const SimulatorFaults& faults = m_server.settings.faults;
        if (comma == std::string::npos || comma == 0) {
            send("501 Syntax error in parameters or arguments.\r\n");
            return;
        }
        if (faults.refuseWrites) {
            send("501 SETENV failed\r\n");
            return;
        }
        if (!faults.forgetWrites) {
            std::lock_guard lock(m_server.mutex);
            SetVariable(m_server.environment, argument.substr(0, comma), argument.substr(comma + 1));
        }
        if (faults.dropAfterWrite) {
            close();
            return;
        }
        send("200 SETENV command successful\r\n");
    }

    void send(std::string text, bool closeAfter = false) {
        auto write = [self = shared_from_this(), text = std::make_shared<std::string>(std::move(text)),
                      closeAfter] {
            asio::async_write(self->m_socket, asio::buffer(*text),
                              [self, text, closeAfter](const std::error_code& e, std::size_t) {
                                  if (e || closeAfter) {
                                      self->close();
                                      return;
                                  }
                                  self->next();
                              });
        };
        const auto delay = m_server.settings.faults.replyDelay;
        if (delay.count() == 0) {
            write();
            return;
        }
        m_delay.expires_after(delay);
        m_delay.async_wait([write](const std::error_code& e) {
            if (!e) {
                write();
            }
        });
    }

    // Bytes without a line end until the client gives up.
    void flood() {
        static const std::string chunk(64 * 1024, 'A');
        asio::async_write(m_socket, asio::buffer(chunk),
                          [self = shared_from_this()](const std::error_code& e, std::size_t) {
                              if (e) {
                                  self->close();
                                  return;
                              }
                              self->flood();
                          });
    }

    SimulatorServer& m_server;
    asio::ip::tcp::socket m_socket;
    asio::steady_timer m_delay;
    std::array<char, 4096> m_chunk{};
    std::string m_input;
    std::string m_user;
    bool m_loggedIn = false;
};

void SimulatorServer::accept() {
    acceptor.async_accept([this](const std::error_code& e, asio::ip::tcp::socket socket) {
        if (e) {
            return;
        }
        auto session = std::make_shared<SimulatedSession>(*this, std::move(socket));
        sessions.erase(
            std::remove_if(sessions.begin(), sessions.end(), [](const auto& s) { return s.expired(); }),
            sessions.end());
        sessions.push_back(session);
        session->start();
        accept();
    });
}

void SimulatorServer::endWindow() {
    std::lock_guard lock(mutex);
    windowEnded = true;
    if (!someoneLoggedIn) {
        // The boot loader goes on booting: its server is gone.
        windowClosed = true;
        std::error_code ignored;
        acceptor.close(ignored);
        for (const auto& weak : sessions) {
            if (const auto session = weak.lock()) {
                session->close();
            }
        }
    }
    windowChanged.notify_all();
}

RouterSimulator::RouterSimulator(SimulatorSettings settings)
    : m_server(std::make_unique<SimulatorServer>(std::move(settings))) {
    m_server->start();
}

RouterSimulator::~RouterSimulator() {
    m_server->stop();
}

RouterAddress RouterSimulator::address() const {
    return RouterAddress{m_server->settings.host, m_server->port};
}

std::uint16_t RouterSimulator::port() const {
    return m_server->port;
}

std::optional<std::string> RouterSimulator::value(const std::string& name) const {
    std::lock_guard lock(m_server->mutex);
    for (const auto& [variable, value] : m_server->environment) {
        if (variable == name) {
            return value;
        }
    }
    return std::nullopt;
}

void RouterSimulator::setValue(const std::string& name, const std::string& value) {
    std::lock_guard lock(m_server->mutex);
    SetVariable(m_server->environment, name, value);
}

std::vector<std::string> RouterSimulator::commands() const {
    std::lock_guard lock(m_server->mutex);
    return m_server->commands;
}

bool RouterSimulator::waitForWindowEnd() const {
    std::unique_lock lock(m_server->mutex);
    m_server->windowChanged.wait(lock, [this] { return m_server->windowEnded; });
    return m_server->windowClosed;
}

} // namespace flintor
