#include "RouterSimulator.h"

#include "modMTD.h"

#include <algorithm>
#include <array>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <functional>
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

// Bytes of the data connection moved at a time.
constexpr std::size_t kDataPiece = 256 * 1024;
// How long a data listener waits for the client after the 150.
constexpr std::chrono::seconds kDataAcceptWait{10};

// A partition of the flash: its offset from FlashBase and its length.
struct FlashRange {
    std::size_t offset = 0;
    std::size_t size = 0;
};

// The range "0xSTART,0xEND" names within a flash of flashSize bytes, read as the boot loader reads it.
std::optional<FlashRange> RangeOf(const std::string& value, std::size_t flashSize) {
    const char* text = value.c_str();
    char* end = nullptr;
    const unsigned long long start = std::strtoull(text, &end, 16);
    if (end == text || *end != ',') {
        return std::nullopt;
    }
    text = end + 1;
    const unsigned long long stop = std::strtoull(text, &end, 16);
    if (end == text || start < FlashBase || stop <= start || stop - FlashBase > flashSize) {
        return std::nullopt;
    }
    return FlashRange{static_cast<std::size_t>(start - FlashBase), static_cast<std::size_t>(stop - start)};
}

std::optional<std::string> ValueOf(const SimulatedEnvironment& environment, const std::string& name) {
    for (const auto& [variable, value] : environment) {
        if (variable == name) {
            return value;
        }
    }
    return std::nullopt;
}

// The flash as the router left the factory: boot block, configuration block and an image where the
// starting values put them, erased bytes elsewhere.
std::vector<std::uint8_t> StartingFlash(const SimulatorSettings& settings) {
    std::size_t size = settings.flashSize;
    if (size == 0) {
        const auto value = ValueOf(settings.environment, "flashsize");
        const unsigned long long bytes = value ? std::strtoull(value->c_str(), nullptr, 16) : 0;
        size = bytes >= 0x10000 && bytes <= kMostSimulatedFlash ? bytes : 4 * 1024 * 1024;
    }
    std::vector<std::uint8_t> flash(std::min<std::size_t>(size, kMostSimulatedFlash), 0xFF);
    for (const auto& [name, pattern] :
         {std::pair{"mtd4", kSimulatedOldImage}, std::pair{"mtd2", kSimulatedBootBlock},
          std::pair{"mtd3", kSimulatedConfiguration}}) {
        const auto value = ValueOf(settings.environment, name);
        const auto range = value ? RangeOf(*value, flash.size()) : std::nullopt;
        const std::size_t length = std::strlen(pattern);
        for (std::size_t i = 0; range && i < range->size; ++i) {
            flash[range->offset + i] = static_cast<std::uint8_t>(pattern[i % length]);
        }
    }
    return flash;
}

// "STOR name mtd4", "STOR mtd4", "RETR mtd4": the last word names the partition.
std::string LastWord(const std::string& text) {
    const std::size_t end = text.find_last_not_of(' ');
    if (end == std::string::npos) {
        return {};
    }
    const std::size_t space = text.find_last_of(' ', end);
    return text.substr(space == std::string::npos ? 0 : space + 1,
                       end - (space == std::string::npos ? 0 : space + 1) + 1);
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
        flash = StartingFlash(settings);
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
    std::vector<std::uint8_t> flash;
    std::vector<std::string> commands;
    bool someoneLoggedIn = false;
    bool windowEnded = false;
    bool windowClosed = false;
};

// One client's connection: reads a command line, answers it (after the reply delay), reads the next.
class SimulatedSession : public std::enable_shared_from_this<SimulatedSession> {
public:
    SimulatedSession(SimulatorServer& server, asio::ip::tcp::socket socket)
        : m_server(server), m_socket(std::move(socket)), m_delay(server.io), m_data(server.io),
          m_dataTimer(server.io) {}

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
        m_dataTimer.cancel();
        m_data.close(ignored);
        closePassive();
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
        } else if (verb == "TYPE") {
            send(argument == "I" || argument == "A" ? "200 Type set to " + argument + ".\r\n"
                                                    : "501 Type " + argument + " not supported.\r\n");
        } else if (verb == "MEDIA") {
            if (argument == "FLSH" || argument == "SDRAM") {
                m_flashMedia = argument == "FLSH";
                send("200 Media set to " + argument + ".\r\n");
            } else {
                send("501 Media " + argument + " not supported.\r\n");
            }
        } else if (verb == "PASV") {
            passive();
        } else if (verb == "STOR" || verb == "RETR") {
            transfer(verb == "STOR", argument);
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

    // Sends a reply, then reads the next command, or does what then does (a transfer's data).
    void send(std::string text, bool closeAfter = false, std::function<void()> then = {}) {
        auto write = [self = shared_from_this(), text = std::make_shared<std::string>(std::move(text)),
                      closeAfter, then = std::move(then)] {
            asio::async_write(self->m_socket, asio::buffer(*text),
                              [self, text, closeAfter, then](const std::error_code& e, std::size_t) {
                                  if (e || closeAfter) {
                                      self->close();
                                      return;
                                  }
                                  if (then) {
                                      then();
                                  } else {
                                      self->next();
                                  }
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
    // The data listener of one transfer, on the loopback address the control connection came to; the 227
    // reply may name another address.
    void passive() {
        closePassive();
        std::error_code error;
        const asio::ip::address host = m_socket.local_endpoint(error).address();
        auto acceptor = std::make_unique<asio::ip::tcp::acceptor>(m_server.io);
        if (!error) {
            acceptor->open(host.is_v4() ? asio::ip::tcp::v4() : asio::ip::tcp::v6(), error);
        }
        if (!error) {
            acceptor->bind(asio::ip::tcp::endpoint(host, 0), error);
        }
        if (!error) {
            acceptor->listen(1, error);
        }
        if (error || !host.is_loopback()) {
            send("425 Cannot open a passive connection.\r\n");
            return;
        }
        const std::uint16_t port = acceptor->local_endpoint().port();
        const char* passive = m_server.settings.faults.passiveAddress;
        std::string named = passive ? passive : "";
        if (named.empty()) {
            named = host.is_v4() ? host.to_string() : "127.0.0.1";
        }
        std::replace(named.begin(), named.end(), '.', ',');
        m_passive = std::move(acceptor);
        send("227 Entering Passive Mode (" + named + "," + std::to_string(port / 256) + "," +
             std::to_string(port % 256) + ").\r\n");
    }

    void closePassive() {
        if (m_passive) {
            std::error_code ignored;
            m_passive->close(ignored);
            m_passive.reset();
        }
    }

    // STOR or RETR of the partition the last word names, where the simulator's own value of it points.
    void transfer(bool store, const std::string& argument) {
        const SimulatorFaults& faults = m_server.settings.faults;
        const std::string partition = LastWord(argument);
        std::optional<FlashRange> range;
        if (partition.size() == 4 && partition.compare(0, 3, "mtd") == 0 && partition[3] >= '0' &&
            partition[3] <= '5') {
            std::lock_guard lock(m_server.mutex);
            const auto value = ValueOf(m_server.environment, partition);
            range = value ? RangeOf(*value, m_server.flash.size()) : std::nullopt;
        }
        if (!store && faults.noRetr) {
            send("502 Command not implemented.\r\n");
        } else if (store && faults.refuseStore) {
            send("550 Permission denied.\r\n");
        } else if (!m_flashMedia) {
            send("503 Set MEDIA FLSH first.\r\n");
        } else if (!m_passive) {
            send("425 Use PASV first.\r\n");
        } else if (!range) {
            send("550 " + partition + " is no partition of the flash.\r\n");
        } else {
            m_range = *range;
            m_moved = 0;
            m_dataChunk.resize(kDataPiece);
            send("150 Opening BINARY mode data connection for " + argument + ".\r\n", false,
                 [self = shared_from_this(), store] {
                     self->acceptData([self, store] { store ? self->receive() : self->transmit(); });
                 });
        }
    }

    void acceptData(std::function<void()> then) {
        std::error_code ignored;
        m_data.close(ignored);
        m_passive->async_accept(m_data, [self = shared_from_this(), then](const std::error_code& e) {
            self->m_dataTimer.cancel();
            self->closePassive();
            if (e) {
                self->send("425 Cannot open the data connection.\r\n");
                return;
            }
            then();
        });
        m_dataTimer.expires_after(kDataAcceptWait);
        m_dataTimer.async_wait([self = shared_from_this()](const std::error_code& e) {
            if (!e) {
                self->closePassive();
            }
        });
    }

    // The bytes that may move before the data connection dies or stalls (as far as that fault goes).
    std::size_t allowed(std::size_t wanted) const {
        const SimulatorFaults& faults = m_server.settings.faults;
        for (const std::int64_t limit : {faults.dataDiesAfter, faults.dataStallsAfter}) {
            if (limit >= 0) {
                wanted = std::min<std::size_t>(wanted, static_cast<std::size_t>(limit) -
                                                           std::min<std::size_t>(m_moved, limit));
            }
        }
        return wanted;
    }

    // The data line failed part way: reset or silence, as the faults say.
    bool lineFailed() {
        const SimulatorFaults& faults = m_server.settings.faults;
        if (faults.dataDiesAfter >= 0 && m_moved >= static_cast<std::uint64_t>(faults.dataDiesAfter)) {
            abortData();
            send("426 Connection closed; transfer aborted.\r\n");
            return true;
        }
        if (faults.dataStallsAfter >= 0 && m_moved >= static_cast<std::uint64_t>(faults.dataStallsAfter)) {
            // The data connection stays open and silent; the control connection takes commands.
            next();
            return true;
        }
        return false;
    }

    void abortData() {
        std::error_code ignored;
        m_data.set_option(asio::socket_base::linger(true, 0), ignored);
        m_data.close(ignored);
    }

    void receive() {
        m_data.async_read_some(asio::buffer(m_dataChunk),
                               [self = shared_from_this()](const std::error_code& e, std::size_t count) {
                                   self->received(e, count);
                               });
    }

    void received(const std::error_code& error, std::size_t count) {
        const std::size_t take = allowed(count);
        if (m_moved + take > m_range.size) {
            // The boot loader stops at the partition's end; nothing lands beyond it.
            program(m_dataChunk.data(), m_range.size - m_moved);
            abortData();
            send("552 Requested file action aborted: the image is larger than the partition.\r\n");
            return;
        }
        if (take > 0) {
            program(m_dataChunk.data(), take);
        }
        if (lineFailed()) {
            return;
        }
        if (error == asio::error::eof) {
            stored();
        } else if (error) {
            abortData();
            send(m_moved == 0 ? "426 Connection closed; nothing was written.\r\n"
                              : "426 Connection closed; transfer aborted.\r\n");
        } else {
            receive();
        }
    }

    // Erases the whole partition at the first byte, as the boot loader does, then programs the bytes.
    void program(const std::uint8_t* bytes, std::size_t count) {
        std::lock_guard lock(m_server.mutex);
        auto partition = m_server.flash.begin() + static_cast<std::ptrdiff_t>(m_range.offset);
        if (m_moved == 0) {
            std::fill_n(partition, m_range.size, std::uint8_t{0xFF});
        }
        std::copy_n(bytes, count, partition + static_cast<std::ptrdiff_t>(m_moved));
        m_moved += count;
    }

    void stored() {
        std::error_code ignored;
        m_data.close(ignored);
        if (m_moved == 0) {
            send("426 No data came; nothing was written.\r\n");
            return;
        }
        const SimulatorFaults& faults = m_server.settings.faults;
        if (faults.stuckByte >= 0 && static_cast<std::uint64_t>(faults.stuckByte) < m_moved) {
            std::lock_guard lock(m_server.mutex);
            m_server.flash[m_range.offset + static_cast<std::size_t>(faults.stuckByte)] ^= 0x01;
        }
        if (faults.flashTime.count() == 0) {
            send("226 Transfer complete.\r\n");
            return;
        }
        m_dataTimer.expires_after(faults.flashTime);
        m_dataTimer.async_wait([self = shared_from_this()](const std::error_code& e) {
            if (!e) {
                self->send("226 Transfer complete.\r\n");
            }
        });
    }

    void transmit() {
        if (m_moved == m_range.size) {
            std::error_code ignored;
            m_data.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
            m_data.close(ignored);
            send("226 Transfer complete.\r\n");
            return;
        }
        const std::size_t take = allowed(std::min(kDataPiece, m_range.size - m_moved));
        if (take == 0) {
            lineFailed();
            return;
        }
        {
            std::lock_guard lock(m_server.mutex);
            std::copy_n(m_server.flash.begin() + static_cast<std::ptrdiff_t>(m_range.offset + m_moved), take,
                        m_dataChunk.begin());
        }
        asio::async_write(m_data, asio::buffer(m_dataChunk.data(), take),
                          [self = shared_from_this(), take](const std::error_code& e, std::size_t) {
                              if (e) {
                                  self->abortData();
                                  self->send("426 Connection closed; transfer aborted.\r\n");
                                  return;
                              }
                              self->m_moved += take;
                              self->transmit();
                          });
    }

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
    asio::ip::tcp::socket m_data;                       // the data connection of a transfer
    asio::steady_timer m_dataTimer;                     // the wait for it, and the flash's programming time
    std::unique_ptr<asio::ip::tcp::acceptor> m_passive; // the data listener of the last PASV
    std::vector<std::uint8_t> m_dataChunk;
    bool m_flashMedia = false; // MEDIA FLSH, rather than SDRAM
    FlashRange m_range;        // the partition of the transfer
    std::uint64_t m_moved = 0; // its bytes so far
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

std::vector<std::uint8_t> RouterSimulator::flash() const {
    std::lock_guard lock(m_server->mutex);
    return m_server->flash;
}

bool RouterSimulator::waitForWindowEnd() const {
    std::unique_lock lock(m_server->mutex);
    m_server->windowChanged.wait(lock, [this] { return m_server->windowEnded; });
    return m_server->windowClosed;
}

} // namespace flintor
