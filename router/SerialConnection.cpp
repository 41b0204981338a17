#include "SerialConnection.h"

#include "AsciiText.h"
#include "Durations.h"

#include <algorithm>
#include <array>
#include <asio/io_context.hpp>
#include <asio/post.hpp>
#include <asio/serial_port.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <initializer_list>
#include <stdexcept>
#include <tuple>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#endif

namespace flintor {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// "COM12" -> 12; 0 for anything else. Windows numbers its ports from 1 to 255.
int ComNumber(std::string_view name) {
    if (name.size() < 4 || name.size() > 6 || !StartsWithIgnoringCase(name, "com") || name[3] == '0') {
        return 0;
    }
    int number = 0;
    for (const char c : name.substr(3)) {
        if (!IsAsciiDigit(c)) {
            return 0;
        }
        number = number * 10 + (c - '0');
    }
    return number <= 255 ? number : 0;
}

// A code of the system as Asio reports it (its own category, which the portable conditions do not match).
bool IsSystemError(const std::error_code& error, std::initializer_list<int> values) {
    return error.category() == asio::error::get_system_category() &&
           std::find(values.begin(), values.end(), error.value()) != values.end();
}

// An error that means the line is gone: the other side hung up or the adapter was unplugged.
bool IsHangUp(const std::error_code& error) {
    return error == asio::error::eof || error == asio::error::broken_pipe ||
           error == asio::error::connection_reset || error == asio::error::bad_descriptor ||
           IsSystemError(error, {EIO});
}

} // namespace

SerialDevicePath SerialDevicePathOf(std::string_view name, bool windowsNames) {
    const std::string shown = EscapedShort(name);
    if (name.empty()) {
        return {"", "No serial port was named."};
    }
    if (name.size() > 256 || std::any_of(name.begin(), name.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        })) {
        return {"", "\"" + shown +
                        "\" is no usable serial port name: it is too long or holds control characters."};
    }
    if (!windowsNames) {
        return {std::string(name), ""};
    }
    // CreateFile opens COM1 to COM9 by their names alone, higher numbers only as \\.\COM10; the long
    // form serves all.
    constexpr std::string_view device = "\\\\.\\";
    const bool prefixed = name.substr(0, device.size()) == device;
    const std::string_view port = prefixed ? name.substr(device.size()) : name;
    if (const int number = ComNumber(port); number > 0) {
        return {std::string(device) + "COM" + std::to_string(number), ""};
    }
    if (prefixed && !port.empty() && port.size() <= 64 &&
        std::all_of(port.begin(), port.end(), IsWordCharacter)) {
        return {std::string(name), ""}; // a driver's own name, as some adapters have
    }
    return {"", "\"" + shown + "\" is no serial port name: write it as COM3 or \\\\.\\COM12."};
}

std::vector<std::string> SerialPortNames(const std::string& folder) {
    // (kind, number, name): the kinds in the order an owner most likely wants them.
    std::vector<std::tuple<std::size_t, unsigned long, std::string>> found;
    const auto add = [&found](std::size_t kind, std::string_view digits, std::string name) {
        if (!digits.empty() && digits.size() <= 6 &&
            std::all_of(digits.begin(), digits.end(), IsAsciiDigit)) {
            found.emplace_back(kind, std::stoul(std::string(digits)), std::move(name));
        }
    };
#ifdef _WIN32
    (void)folder;
    // Every DOS device name, NUL after each; COM ports among them.
    std::vector<char> names(64 * 1024);
    DWORD length = 0;
    while ((length = ::QueryDosDeviceA(nullptr, names.data(), static_cast<DWORD>(names.size()))) == 0 &&
           ::GetLastError() == ERROR_INSUFFICIENT_BUFFER && names.size() < 16 * 1024 * 1024) {
        names.resize(names.size() * 2);
    }
    for (std::size_t at = 0; at < length && names[at] != '\0';) {
        const std::string name(names.data() + at);
        if (StartsWithIgnoringCase(name, "COM")) {
            add(0, std::string_view(name).substr(3), name);
        }
        at += name.size() + 1;
    }
#else
    constexpr std::array<std::string_view, 3> kKinds = {"ttyUSB", "ttyACM", "ttyS"};
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        for (std::size_t kind = 0; kind < kKinds.size(); ++kind) {
            if (name.rfind(kKinds[kind], 0) == 0) {
                add(kind, std::string_view(name).substr(kKinds[kind].size()), entry.path().string());
                break;
            }
        }
    }
#endif
    std::sort(found.begin(), found.end());
    std::vector<std::string> ports;
    for (auto& [kind, number, name] : found) {
        ports.push_back(std::move(name));
    }
    return ports;
}

struct SerialConnection::Impl {
    Impl(std::string device, SerialOptions options)
        : device(std::move(device)), options(options), conversation("the console on " + this->device) {
        this->options.replyTimeout = std::max(this->options.replyTimeout, milliseconds(1));
        this->options.wait = std::max(this->options.wait, milliseconds(0));
    }

    ConversationEvent failed(FailureKind kind, const std::string& message) {
        closePort();
        lastFailure = conversation.fail(kind, message);
        // The event is returned here; the conversation's copy of it would be seen twice.
        while (conversation.nextEvent()) {
        }
        return lastFailure;
    }

    void closePort() {
        std::error_code ignored;
        port.cancel(ignored);
        port.close(ignored);
    }

    void abortIo() {
        std::error_code ignored;
        port.cancel(ignored);
        timer.cancel();
    }

    ConversationEvent cancelledFailure() {
        using State = ConsoleConversation::State;
        const auto state = conversation.state();
        return failed(FailureKind::Cancelled, state == State::BreakingIn || state == State::Clearing
                                                  ? "Cancelled while waiting for a prompt on " + device + "."
                                              : conversation.awaitingReply()
                                                  ? "Cancelled while " + conversation.request() +
                                                        " was unanswered by the console on " + device + "."
                                                  : std::string("Cancelled."));
    }

    // Why the port cannot be opened, told before the system is asked where the file system can tell.
    std::string pathProblem(const std::string& path) const {
#ifdef _WIN32
        (void)path;
        return {};
#else
        std::error_code error;
        const auto status = std::filesystem::status(path, error);
        if (status.type() == std::filesystem::file_type::not_found) {
            return "There is no serial port " + device +
                   ": nothing is at that path. Is the adapter plugged in?";
        }
        if (status.type() == std::filesystem::file_type::regular) {
            return device + " is a plain file, not a serial port.";
        }
        if (status.type() == std::filesystem::file_type::directory) {
            return device + " is a folder, not a serial port.";
        }
        if (!error && status.type() != std::filesystem::file_type::character) {
            return device + " is not a serial port.";
        }
        return {};
#endif
    }

    std::string openProblem(const std::error_code& error) const {
#ifdef _WIN32
        if (IsSystemError(error, {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION})) {
            return device +
                   " could not be opened: it is in use by another program, or Flintor may not use it.";
        }
        if (IsSystemError(error, {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND})) {
            return "There is no serial port " + device + ". Is the adapter plugged in?";
        }
        if (IsSystemError(error, {ERROR_INVALID_FUNCTION, ERROR_INVALID_PARAMETER, ERROR_NOT_SUPPORTED})) {
            return device + " is not a serial port.";
        }
#else
        if (IsSystemError(error, {EACCES, EPERM})) {
            return "Flintor may not open " + device +
                   ": no permission (on Linux, join the group that owns it, often dialout, and log in "
                   "again).";
        }
        if (IsSystemError(error, {EBUSY, EWOULDBLOCK})) {
            return device + " is in use by another program.";
        }
        if (IsSystemError(error, {ENOENT, ENODEV, ENXIO})) {
            return "There is no serial port " + device + ". Is the adapter plugged in?";
        }
        if (IsSystemError(error, {ENOTTY, EINVAL})) {
            return device + " is not a serial port.";
        }
#endif
        return device + " could not be opened as a serial port: " + error.message() + ".";
    }

    // Opens and sets up the port; the failure message, or empty.
    std::string openPort(const std::string& path) {
        if (std::string problem = pathProblem(path); !problem.empty()) {
            return problem;
        }
        std::error_code error;
        port.open(path, error);
        if (error) {
            return openProblem(error);
        }
#ifndef _WIN32
        // Two programs reading one console would each get half of its output.
        if (::flock(port.native_handle(), LOCK_EX | LOCK_NB) != 0) {
            const int lockError = errno;
            closePort();
            return openProblem(std::error_code(lockError, asio::error::get_system_category()));
        }
        ::ioctl(port.native_handle(), TIOCEXCL);
#endif
        port.set_option(asio::serial_port::baud_rate(options.baudRate), error);
        if (error) {
            closePort();
            return device + " does not take " + std::to_string(options.baudRate) +
                   " baud: " + error.message() + ".";
        }
        port.set_option(asio::serial_port::character_size(8), error);
        if (!error) {
            port.set_option(asio::serial_port::parity(asio::serial_port::parity::none), error);
        }
        if (!error) {
            port.set_option(asio::serial_port::stop_bits(asio::serial_port::stop_bits::one), error);
        }
        if (!error) {
            port.set_option(asio::serial_port::flow_control(asio::serial_port::flow_control::none), error);
        }
        if (error) {
            closePort();
            return openProblem(error);
        }
        return {};
    }

    void startRead() {
        if (reading || hungUp) {
            return;
        }
        reading = true;
        port.async_read_some(asio::buffer(buffer), [this](const std::error_code& error, std::size_t count) {
            reading = false;
            if (error) {
                readError = error;
            } else {
                arrived.append(buffer.data(), count);
                received += count;
            }
        });
    }

    void startWrite() {
        if (writing || outbox.empty()) {
            return;
        }
        writing = true;
        inFlight = std::move(outbox);
        outbox.clear();
        asio::async_write(port, asio::buffer(inFlight), [this](const std::error_code& error, std::size_t) {
            writing = false;
            if (error) {
                writeError = error;
            } else {
                written += inFlight.size();
            }
        });
    }

    // Feeds what arrived and sends what is due until the conversation stops awaiting a reply (it is at
    // the prompt or has ended), the deadline passes or cancel() is called. While the console is being
    // broken into the deadline is the end of the wait, afterwards each command's.
    std::optional<ConversationEvent> exchange(Clock::time_point waitEnd, const RouterProgressSink& progress) {
        using State = ConsoleConversation::State;
        auto replyEnd = Clock::now() + options.replyTimeout;
        long long shownSeconds = -1;
        while (true) {
            if (cancelled) {
                return cancelledFailure();
            }
            if (!arrived.empty()) {
                conversation.receive(arrived);
                arrived.clear();
            }
            if (readError && !reading) {
                const std::error_code error = readError;
                readError.clear();
                if (!IsHangUp(error)) {
                    return failed(FailureKind::Network,
                                  "Reading from " + device + " failed: " + error.message() + ".");
                }
                hungUp = true;
                conversation.connectionClosed();
            }
            if (writeError && !writing) {
                const std::error_code error = writeError;
                writeError.clear();
                if (!IsHangUp(error)) {
                    return failed(FailureKind::Network,
                                  "Writing to " + device + " failed: " + error.message() + ".");
                }
                conversation.connectionClosed();
            }
            while (const auto notice = conversation.nextNotice()) {
                report(
                    progress, RouterProgress::Stage::Notice,
                    *notice == ConsoleNotice::FirmwareBooted
                        ? "the router booted its firmware instead of stopping at its boot loader; switch it "
                          "off and on again, Flintor waits on"
                        : "the boot loader on " + device + " is starting; pressing ESC",
                    waitEnd - Clock::now());
                firmwareBoots += *notice == ConsoleNotice::FirmwareBooted ? 1 : 0;
            }
            if (conversation.state() == State::Ended) {
                while (auto event = conversation.nextEvent()) {
                    lastFailure = *event;
                }
                closePort();
                return lastFailure;
            }
            if (!conversation.awaitingReply()) {
                return std::nullopt;
            }
            const auto now = Clock::now();
            if (std::string outgoing = conversation.takeOutgoing(now); !outgoing.empty()) {
                outbox += outgoing;
                // ESCs while breaking in have no answer to wait for; Enter and each command have.
                if (conversation.state() != State::BreakingIn) {
                    replyEnd = now + options.replyTimeout;
                }
            }
            const bool breakingIn = conversation.state() == State::BreakingIn;
            const auto deadline = breakingIn ? waitEnd : replyEnd;
            if (now >= deadline) {
                return breakingIn ? noPrompt() : timedOut();
            }
            if (breakingIn) {
                const auto left = std::chrono::duration_cast<milliseconds>(waitEnd - now);
                if (SecondsLeft(left) != shownSeconds) {
                    shownSeconds = SecondsLeft(left);
                    report(progress, RouterProgress::Stage::Waiting,
                           "waiting for the boot loader's prompt on " + device +
                               ": switch the router on now; Flintor presses ESC for you",
                           left);
                }
            }
            startWrite();
            startRead();
            auto wake = std::min(deadline, now + milliseconds(1000));
            if (const auto due = conversation.wakeTime()) {
                wake = std::min(wake, *due);
            }
            // The wait of an earlier round that ends before this one serves as well: it only wakes the loop.
            if (!timerArmed || wake < timerExpiry) {
                timerArmed = true;
                timerExpiry = wake;
                const auto generation = ++timerGeneration;
                timer.expires_at(wake);
                timer.async_wait([this, generation](const std::error_code&) {
                    if (generation == timerGeneration) {
                        timerArmed = false;
                    }
                });
            }
            io.restart();
            io.run_one();
            io.poll();
        }
    }

    void report(const RouterProgressSink& progress, RouterProgress::Stage stage, std::string text,
                Clock::duration left = {}) const {
        if (progress) {
            progress(
                RouterProgress{stage, std::move(text),
                               std::max(milliseconds(0), std::chrono::duration_cast<milliseconds>(left))});
        }
    }

    ConversationEvent noPrompt() {
        std::string message =
            "No prompt appeared on " + device + " within " + DurationText(options.wait) + ".";
        if (firmwareBoots > 0) {
            message +=
                " The router booted its firmware instead: switch it off, start Flintor, then switch it "
                "on.";
        } else if (received == 0) {
            message += " Nothing was received: check the wiring (the adapter's TX to the router's RX, RX to "
                       "TX, GND to GND) and that the router is switched on after Flintor starts waiting.";
        } else {
            message += " What arrived held no prompt: check the speed (" + std::to_string(options.baudRate) +
                       " baud here).";
        }
        return failed(FailureKind::NoAnswer, message);
    }

    ConversationEvent timedOut() {
        const bool clearing = conversation.state() == ConsoleConversation::State::Clearing;
        return failed(FailureKind::Timeout,
                      "The console on " + device + " did not " +
                          (clearing ? std::string("show its prompt again after Enter")
                                    : "answer " + conversation.request() + " with its prompt") +
                          " within " + DurationText(options.replyTimeout) + ".");
    }

    ConversationEvent open(const RouterProgressSink& progress) {
        if (opened) {
            if (auto failure = unusable()) {
                return *failure;
            }
            ConversationEvent ready;
            ready.kind = ConversationEventKind::Banner;
            ready.value = conversation.banner();
            ready.reply = conversation.prompt();
            return ready;
        }
        opened = true;
        const SerialDevicePath path = SerialDevicePathOf(device);
        if (!path.error.empty()) {
            return failed(FailureKind::AddressRefused, path.error);
        }
        if (const std::string problem = openPort(path.path); !problem.empty()) {
            return failed(FailureKind::Network, problem);
        }
        const std::string opening =
            "opened " + device + " at " + std::to_string(options.baudRate) + " baud, 8N1, no flow control";
        conversation.note(opening);
        report(progress, RouterProgress::Stage::Connected, opening);
        if (auto failure = exchange(Clock::now() + options.wait, progress)) {
            return *failure;
        }
        auto event = conversation.nextEvent();
        if (!event || event->kind != ConversationEventKind::Banner) {
            throw std::logic_error("the console was ready without its banner");
        }
        report(progress, RouterProgress::Stage::LoggedIn,
               "prompt " + conversation.prompt() + " on " + device);
        return *event;
    }

    std::optional<ConversationEvent> unusable() {
        // What came since the last prompt is looked at before the next command: output nothing asked for
        // would otherwise be taken for the command's.
        if (opened && conversation.state() == ConsoleConversation::State::Ready) {
            io.restart();
            io.poll();
            if (!arrived.empty()) {
                conversation.receive(arrived);
                arrived.clear();
            }
        }
        if (conversation.state() == ConsoleConversation::State::Ended) {
            while (auto event = conversation.nextEvent()) {
                lastFailure = *event;
            }
            return lastFailure;
        }
        if (cancelled) {
            return cancelledFailure();
        }
        if (conversation.state() != ConsoleConversation::State::Ready) {
            throw std::logic_error("the console is not at its prompt");
        }
        return std::nullopt;
    }

    std::vector<ConversationEvent> answers() {
        if (auto failure = exchange(Clock::time_point::max(), {})) {
            return {*failure};
        }
        std::vector<ConversationEvent> events;
        while (auto event = conversation.nextEvent()) {
            events.push_back(std::move(*event));
        }
        if (events.empty()) {
            throw std::logic_error("the console was at its prompt without an answer");
        }
        return events;
    }

    std::string device;
    SerialOptions options;
    asio::io_context io;
    asio::serial_port port{io};
    asio::steady_timer timer{io};
    std::atomic<bool> cancelled{false};
    ConsoleConversation conversation;
    ConversationEvent lastFailure;
    std::array<char, 4096> buffer{};
    std::string arrived;  // read, not yet given to the conversation
    std::string outbox;   // to write once the write in flight is done
    std::string inFlight; // being written
    std::error_code readError;
    std::error_code writeError;
    std::size_t received = 0;
    std::size_t written = 0;
    int firmwareBoots = 0;
    bool reading = false;
    bool writing = false;
    bool hungUp = false;
    bool opened = false;
    bool timerArmed = false;
    Clock::time_point timerExpiry;
    unsigned timerGeneration = 0;
};

SerialConnection::SerialConnection(std::string device, SerialOptions options)
    : m_impl(std::make_unique<Impl>(std::move(device), options)) {}

SerialConnection::~SerialConnection() = default;

ConversationEvent SerialConnection::open(const RouterProgressSink& progress) {
    return m_impl->open(progress);
}

ConversationEvent SerialConnection::readValue(std::string_view name) {
    if (auto failure = m_impl->unusable()) {
        return *failure;
    }
    m_impl->conversation.requestValue(name);
    return m_impl->answers().front();
}

std::vector<ConversationEvent> SerialConnection::readValues(const std::vector<std::string>& names) {
    if (auto failure = m_impl->unusable()) {
        return {*failure};
    }
    m_impl->conversation.requestValues(names);
    return m_impl->answers();
}

ConversationEvent SerialConnection::writePartition(const PartitionBounds& bounds, std::string* sent) {
    if (auto failure = m_impl->unusable()) {
        return *failure;
    }
    const std::size_t writtenBefore = m_impl->written;
    const std::string command = m_impl->conversation.requestWrite(bounds);
    ConversationEvent event = m_impl->answers().front();
    // A console that hung up before the command went out was sent nothing.
    if (sent != nullptr && m_impl->written - writtenBefore > command.size()) {
        *sent = command;
    }
    return event;
}

void SerialConnection::cancel() {
    m_impl->cancelled = true;
    asio::post(m_impl->io, [impl = m_impl.get()] { impl->abortIo(); });
}

const std::string& SerialConnection::device() const {
    return m_impl->device;
}

unsigned SerialConnection::baudRate() const {
    return m_impl->options.baudRate;
}

const std::string& SerialConnection::banner() const {
    return m_impl->conversation.banner();
}

const std::string& SerialConnection::prompt() const {
    return m_impl->conversation.prompt();
}

const std::string& SerialConnection::transcript() const {
    return m_impl->conversation.transcript();
}

} // namespace flintor
