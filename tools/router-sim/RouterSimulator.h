#pragma once

// A simulated Adam2 or PSP boot loader FTP server on a loopback address, for the tests, the benchmarks
// and for trying the router features without a router. It answers USER, PASS, GETENV, SETENV, UNSETENV,
// TYPE, MEDIA, PASV, STOR, RETR and REBOOT as the boot loaders do, holds a flash that STOR writes to where
// its own partition values point, and can be told to misbehave in the ways real ones do.

#include "RouterAddress.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace flintor {

/// The variables of a boot loader environment, in the order the server lists them.
using SimulatedEnvironment = std::vector<std::pair<std::string, std::string>>;

/// Sets a variable: a new one comes last, a set one keeps its place.
void SetVariable(SimulatedEnvironment& environment, const std::string& name, const std::string& value);
/// Removes a variable, if it is set.
void UnsetVariable(SimulatedEnvironment& environment, const std::string& name);

/// The ways the simulated boot loader misbehaves; all off by default.
struct SimulatorFaults {
    std::chrono::milliseconds lateStart{0}; ///< connections are refused for this long after the start
    /// When not 0: this long after it began listening, the server stops listening and drops every
    /// connection, unless someone has logged in by then (as a boot loader that goes on booting).
    std::chrono::milliseconds powerOnWindow{0};
    bool refuseLogin = false;                ///< every PASS is answered 530
    std::chrono::milliseconds replyDelay{0}; ///< every reply, the greeting included, comes this late
    bool silence = false;                    ///< after the login nothing is answered any more
    bool flood = false;                      ///< GETENV is answered by endless bytes without a line end
    bool refuseWrites = false;               ///< SETENV is answered 501 and changes nothing
    bool forgetWrites = false;               ///< SETENV is answered 200 and changes nothing
    bool dropAfterWrite = false; ///< SETENV changes the value, then the connection drops unanswered
    /// GETENV answers its final "200" reply first and the value line after it, as a badly framed server.
    bool valueAfterReply = false;
    /// STOR answers 226 this long after the image's last byte, as a router that programs its flash.
    std::chrono::milliseconds flashTime{0};
    bool noRetr = false;      ///< RETR is answered 502, as by boot loaders that cannot send a partition
    bool refuseStore = false; ///< STOR is answered 550 and nothing is written
    /// When not negative: the byte this far into a partition STOR wrote keeps a wrong value (a bit flipped).
    std::int64_t stuckByte = -1;
    /// When not negative: after this many bytes of a STOR or RETR the data connection is reset, and 426
    /// answered.
    std::int64_t dataDiesAfter = -1;
    /// When not negative: after this many bytes of a STOR or RETR no byte more moves on the data connection
    /// and nothing is answered.
    std::int64_t dataStallsAfter = -1;
    /// The IPv4 address the 227 reply names ("192.0.2.1"), when set, in place of the one the data
    /// listener is on; the listener stays on loopback. A text that outlives the simulator: a std::string
    /// here makes GCC 12 warn falsely about every table of faults.
    const char* passiveAddress = nullptr;
};

/// The bytes that fill the flash where the starting mtd2 (boot block), mtd3 (configuration block) and mtd4
/// (image area) values point; the rest of the flash is erased (0xFF).
inline constexpr const char* kSimulatedBootBlock = "boot block of the simulated boot loader ";
inline constexpr const char* kSimulatedConfiguration = "configuration block of the simulated router ";
inline constexpr const char* kSimulatedOldImage = "firmware image that was there before ";

/// What the simulated boot loader is and holds.
struct SimulatorSettings {
    bool adam2 = true; ///< the greeting names ADAM2; otherwise PSPBoot
    /// The greeting's text after "220 " when not empty, in place of the boot loader's own.
    std::string greeting = {};
    SimulatedEnvironment environment;
    /// GETENV answers "200-name value" lines instead of a bare "name value" line.
    bool continuationValues = false;
    std::string user = "adam2";
    std::string password = "adam2";
    std::string host = "127.0.0.1"; ///< a loopback address; anything else is refused
    std::uint16_t port = 0;         ///< 0: an ephemeral port
    SimulatorFaults faults;
    /// The flash's size in bytes, at most kMostSimulatedFlash; 0: the environment's flashsize value, or
    /// 4 MiB without one.
    std::uint32_t flashSize = 0;
};

/// The largest simulated flash.
inline constexpr std::uint32_t kMostSimulatedFlash = 256u * 1024 * 1024;

/// The environment of our sample captures: samples/captures/adam2-ftp-getenv.txt (Adam2: its second
/// layout block of samples/adam2-4mb.bin, all the same) or psp-printenv.txt (PSP: mtd0 left from an
/// older image).
SimulatedEnvironment SampleEnvironment(bool adam2);

struct SimulatorServer;

/// The simulated boot loader, serving on its own thread from construction until destruction.
class RouterSimulator {
public:
    /// Binds the port at once (so that port() is known) and listens after faults.lateStart. Throws
    /// std::runtime_error when the host is no loopback address or the port cannot be bound.
    explicit RouterSimulator(SimulatorSettings settings);
    ~RouterSimulator();
    RouterSimulator(const RouterSimulator&) = delete;
    RouterSimulator& operator=(const RouterSimulator&) = delete;

    /// The address a client reaches it at.
    RouterAddress address() const;
    std::uint16_t port() const;
    /// A variable's value now; none when it is not set.
    std::optional<std::string> value(const std::string& name) const;
    /// Sets a variable as if the owner had.
    void setValue(const std::string& name, const std::string& value);
    /// Every command line received so far, on all connections, in order.
    std::vector<std::string> commands() const;
    /// The whole flash as it is now; its first byte is at FlashBase (0x90000000).
    std::vector<std::uint8_t> flash() const;
    /// Blocks until the power-on window has ended (at once without a window); true when the server
    /// stopped listening then, false when someone had logged in and it stays.
    bool waitForWindowEnd() const;

private:
    std::unique_ptr<SimulatorServer> m_server;
};

} // namespace flintor
