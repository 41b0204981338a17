#pragma once

// The transport to the boot loader's serial console: a serial port through Asio (8N1, raw, no flow
// control) that waits for the router to be switched on and broken into, then carries ConsoleConversation's
// commands and output, each within a deadline. Every call blocks its thread; cancel() ends any of them
// from another thread. Its calls mirror RouterConnection's, so that one workflow can drive either link.

#include "ConsoleConversation.h"
#include "RouterConnection.h"

#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace flintor {

/// The console's speed unless the owner names another; some PSP routers use 115200.
inline constexpr unsigned kDefaultBaudRate = 38400;
/// The speeds an owner may choose, the boot loaders' usual ones first.
inline constexpr std::array<unsigned, 8> kConsoleBaudRates = {38400, 115200, 57600, 19200,
                                                              9600,  4800,   2400,  1200};

/// Whether device names follow the rules of Windows (COM3) on this system.
#ifdef _WIN32
inline constexpr bool kWindowsDeviceNames = true;
#else
inline constexpr bool kWindowsDeviceNames = false;
#endif

/// A serial port's name as the system opens it, or why the name itself is unusable.
struct SerialDevicePath {
    std::string path;  ///< "/dev/ttyUSB0", "\\.\COM3"; empty when the name is unusable
    std::string error; ///< the message naming the device; empty when the name is usable
};

/// The path for a device name: with windowsNames "COM3" and "com3" give "\\.\COM3" and "\\.\COM12" stays,
/// anything else there is unusable; otherwise any path is used as it is. An empty name, one with control
/// characters or of more than 256 bytes is unusable everywhere.
SerialDevicePath SerialDevicePathOf(std::string_view name, bool windowsNames = kWindowsDeviceNames);

/// The serial ports present, for an owner to choose from: on Windows the COM ports the system knows
/// ("COM3"), elsewhere the devices of folder whose names begin ttyUSB, ttyACM or ttyS (USB adapters first),
/// by number within each kind ("/dev/ttyUSB0", "/dev/ttyS2", "/dev/ttyS10").
std::vector<std::string> SerialPortNames(const std::string& folder = "/dev");

/// How the console is reached and how long to wait for what.
struct SerialOptions {
    unsigned baudRate = kDefaultBaudRate;
    std::chrono::milliseconds wait{60'000};         ///< for a prompt, from the port's opening on
    std::chrono::milliseconds replyTimeout{10'000}; ///< for each command's prompt, from the command on
};

/// A blocking connection to the boot loader's serial console. Not copyable; one conversation per object.
class SerialConnection {
public:
    explicit SerialConnection(std::string device, SerialOptions options = {});
    ~SerialConnection();
    SerialConnection(const SerialConnection&) = delete;
    SerialConnection& operator=(const SerialConnection&) = delete;

    /// Opens the port, then presses ESC until a prompt appears and clears the keys pressed: the Banner
    /// event (the banner, the prompt as its reply) or Failure. A name that is unusable fails as
    /// AddressRefused, a port that cannot be opened (missing, a plain file, no serial port, in use, no
    /// permission) as Network, no prompt within the wait as NoAnswer; each message names the device.
    /// Progress reports the opening (Connected), the countdown (Waiting), what the console showed
    /// meanwhile (Notice) and the prompt (LoggedIn). Later calls send nothing and tell how the first one
    /// ended.
    ConversationEvent open(const RouterProgressSink& progress = {});
    /// printenv NAME (or printenv where that is not understood): ValueRead, ValueUnset or Failure.
    ConversationEvent readValue(std::string_view name);
    /// One printenv for the names: a ValueRead or ValueUnset per name in order, or one Failure.
    std::vector<ConversationEvent> readValues(const std::vector<std::string>& names);
    /// setenv of the bounds: WriteAccepted, WriteRefused or Failure. sent, when given, receives the
    /// command once it went to the console.
    ConversationEvent writePartition(const PartitionBounds& bounds, std::string* sent = nullptr);

    /// Ends the wait or exchange in progress at once (a Cancelled failure) and every later one. Callable
    /// from any thread while the object lives.
    void cancel();
    /// The device as the owner named it.
    const std::string& device() const;
    unsigned baudRate() const;
    /// The banner of the power-on that led to the prompt, then the prompt; empty before it.
    const std::string& banner() const;
    /// The prompt ("(psbl)", "Adam2_AR7RD >"); empty before it appeared.
    const std::string& prompt() const;
    /// The conversation so far as ConsoleConversation::transcript() has it, with the connection's notes.
    const std::string& transcript() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace flintor
