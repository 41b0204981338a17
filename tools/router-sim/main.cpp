// router-sim: a simulated Adam2 or PSP boot loader FTP server on 127.0.0.1 (or ::1), for trying Flintor's
// router features without a router. It prints the address it listens on and serves until it is stopped
// (Ctrl+C).

#include "RouterEnvironment.h"
#include "RouterSimulator.h"
#include "SimulatorOptions.h"

#include <asio/io_context.hpp>
#include <asio/ip/address_v4.hpp>
#include <asio/signal_set.hpp>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr const char* kUsage =
    "Usage: router-sim [OPTION]...\n"
    "A simulated Adam2 or PSP boot loader FTP server on a loopback address (login adam2 / adam2).\n"
    "\n"
    "  --psp                 a PSP boot loader (default: Adam2), with the PSP sample's values\n"
    "  --capture FILE        start with the mtd0..mtd5 and flashsize values of a router capture\n"
    "  --set NAME=VALUE      set a variable (e.g. --set mtd0=0x90013010,0x903f0000)\n"
    "  --unset NAME          remove a variable\n"
    "  --port N              listen on port N (default: any free port)\n"
    "  --ipv6                listen on ::1 instead of 127.0.0.1\n"
    "  --user NAME, --password WORD   the login (default adam2 / adam2)\n"
    "  --continuation        answer GETENV with \"200-name value\" lines\n"
    "  --greeting TEXT       greet with \"220 TEXT\" instead of the boot loader's own greeting\n"
    "  --flash-size N        a flash of N bytes (0x for hexadecimal; default: the flashsize value)\n"
    "Faults:\n"
    "  --late-start MS       refuse connections for MS milliseconds\n"
    "  --window MS           stop listening after MS milliseconds unless someone logged in\n"
    "  --refuse-login        refuse every login\n"
    "  --slow MS             answer everything MS milliseconds late\n"
    "  --silence             answer nothing after the login\n"
    "  --flood               answer GETENV with endless bytes without a line end\n"
    "  --refuse-writes       refuse every SETENV\n"
    "  --forget-writes       accept SETENV but keep nothing\n"
    "  --drop-after-write    keep what SETENV sets, then drop the connection unanswered\n"
    "  --value-after-reply   answer GETENV with its 200 reply first and the value line after it\n"
    "  --flash-time MS       answer a STOR's 226 MS milliseconds after its last byte\n"
    "  --no-retr             answer RETR with 502 (not implemented)\n"
    "  --refuse-stor         refuse every STOR (550)\n"
    "  --stuck-byte N        the byte N bytes into a partition STOR wrote keeps a wrong value\n"
    "  --data-dies-after N   reset the data connection after N bytes of a STOR or RETR, answer 426\n"
    "  --data-stalls-after N move no byte more after N bytes of a STOR or RETR, answer nothing\n"
    "  --passive-address A   name IPv4 address A in the 227 reply (the data listener stays on loopback)\n";

int Usage(const std::string& problem) {
    std::cerr << "router-sim: " << problem << "\n" << kUsage;
    return 2;
}

// A count of bytes, decimal or 0x hexadecimal, with nothing after it.
std::optional<long long> ReadBytes(const char* text, long long least, long long most) {
    if (text == nullptr || *text == '-') {
        return std::nullopt;
    }
    char* end = nullptr;
    const long long number =
        std::strtoll(text, &end, text[0] == '0' && (text[1] == 'x' || text[1] == 'X') ? 16 : 10);
    if (end == text || *end != '\0' || number < least || number > most) {
        return std::nullopt;
    }
    return number;
}

bool ReadMilliseconds(const char* text, std::chrono::milliseconds& value) {
    const auto number = flintor::ReadWholeNumber(text, 0, std::numeric_limits<long long>::max());
    if (!number) {
        return false;
    }
    value = std::chrono::milliseconds(*number);
    return true;
}

std::string RangeValue(const flintor::PartitionBounds& bounds) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%08x,0x%08x", static_cast<unsigned>(bounds.start),
                  static_cast<unsigned>(bounds.end));
    return text;
}

} // namespace

int main(int argc, char** argv) {
    flintor::SimulatorSettings settings;
    std::optional<std::string> capture;
    flintor::VariableChanges changes;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        const auto argument = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        auto& faults = settings.faults;
        if (option == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (option == "--psp") {
            settings.adam2 = false;
        } else if (option == "--ipv6") {
            settings.host = "::1";
        } else if (option == "--continuation") {
            settings.continuationValues = true;
        } else if (option == "--refuse-login") {
            faults.refuseLogin = true;
        } else if (option == "--silence") {
            faults.silence = true;
        } else if (option == "--flood") {
            faults.flood = true;
        } else if (option == "--refuse-writes") {
            faults.refuseWrites = true;
        } else if (option == "--forget-writes") {
            faults.forgetWrites = true;
        } else if (option == "--drop-after-write") {
            faults.dropAfterWrite = true;
        } else if (option == "--value-after-reply") {
            faults.valueAfterReply = true;
        } else if (option == "--no-retr") {
            faults.noRetr = true;
        } else if (option == "--refuse-stor") {
            faults.refuseStore = true;
        } else if (option == "--flash-size") {
            const auto size = ReadBytes(argument(), 0x10000, flintor::kMostSimulatedFlash);
            if (!size) {
                return Usage("--flash-size needs a number of bytes from 64 KiB to 256 MiB");
            }
            settings.flashSize = static_cast<std::uint32_t>(*size);
        } else if (option == "--stuck-byte" || option == "--data-dies-after" ||
                   option == "--data-stalls-after") {
            const auto bytes = ReadBytes(argument(), 0, flintor::kMostSimulatedFlash);
            if (!bytes) {
                return Usage(std::string(option) + " needs a number of bytes");
            }
            (option == "--stuck-byte"        ? faults.stuckByte
             : option == "--data-dies-after" ? faults.dataDiesAfter
                                             : faults.dataStallsAfter) = *bytes;
        } else if (option == "--passive-address") {
            const char* value = argument();
            std::error_code error;
            if (value == nullptr || (asio::ip::make_address_v4(value, error), error)) {
                return Usage("--passive-address needs an IPv4 address (four decimal parts)");
            }
            faults.passiveAddress = value;
        } else if (option == "--late-start" || option == "--window" || option == "--slow" ||
                   option == "--flash-time") {
            const char* value = argument();
            std::chrono::milliseconds& target = option == "--late-start" ? faults.lateStart
                                                : option == "--window"   ? faults.powerOnWindow
                                                : option == "--slow"     ? faults.replyDelay
                                                                         : faults.flashTime;
            if (value == nullptr || !ReadMilliseconds(value, target)) {
                return Usage(std::string(option) + " needs a number of milliseconds");
            }
        } else if (option == "--port") {
            const char* value = argument();
            const auto port = flintor::ReadWholeNumber(value, 1, 65535);
            if (!port) {
                return Usage("--port needs a number from 1 to 65535");
            }
            settings.port = static_cast<std::uint16_t>(*port);
        } else if (option == "--greeting") {
            const char* value = argument();
            if (value == nullptr || *value == '\0') {
                return Usage("--greeting needs a text");
            }
            settings.greeting = value;
        } else if (option == "--user" || option == "--password") {
            const char* value = argument();
            if (value == nullptr) {
                return Usage(std::string(option) + " needs a value");
            }
            (option == "--user" ? settings.user : settings.password) = value;
        } else if (option == "--capture") {
            const char* value = argument();
            if (value == nullptr) {
                return Usage("--capture needs a file");
            }
            capture = value;
        } else if (option == "--set" || option == "--unset") {
            if (const std::string problem = changes.take(option, argument()); !problem.empty()) {
                return Usage(problem);
            }
        } else {
            return Usage("unknown option " + std::string(option));
        }
    }

    settings.environment = flintor::SampleEnvironment(settings.adam2);
    if (capture) {
        const auto reading = flintor::ReadRouterEnvironmentFile(*capture);
        if (!reading.environment) {
            std::cerr << "router-sim: " << *capture << ": " << reading.error << "\n";
            return 1;
        }
        settings.environment.clear();
        if (reading.environment->flashSize) {
            char size[16];
            std::snprintf(size, sizeof size, "0x%08x",
                          static_cast<unsigned>(*reading.environment->flashSize));
            settings.environment.emplace_back("flashsize", size);
        }
        for (const auto& bounds : reading.environment->partitions) {
            settings.environment.emplace_back("mtd" + std::to_string(bounds.number), RangeValue(bounds));
        }
    }
    changes.applyTo(settings.environment);

    try {
        flintor::RouterSimulator simulator(settings);
        std::cout << "router-sim: " << (settings.adam2 ? "Adam2" : "PSP") << " boot loader listening on "
                  << simulator.address().text() << std::endl;
        asio::io_context io;
        asio::signal_set signals(io, SIGINT, SIGTERM);
        signals.async_wait([](const std::error_code&, int) {});
        io.run();
        // What the boot loader was told, for whoever tried something on it; passwords masked.
        for (const std::string& command : simulator.commands()) {
            std::cout << "router-sim: received "
                      << (command.rfind("PASS ", 0) == 0 ? std::string("PASS ****") : command) << "\n";
        }
    } catch (const std::exception& error) {
        std::cerr << "router-sim: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
