// console-sim: a simulated Adam2 or PSP boot loader serial console on a pseudo-terminal, for trying
// Flintor's console features without a router. It prints the device to open and serves until it is
// stopped (Ctrl+C).

#include "ConsoleSimulator.h"
#include "SimulatorOptions.h"

#include <asio/io_context.hpp>
#include <asio/signal_set.hpp>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr const char* kUsage =
    "Usage: console-sim [OPTION]...\n"
    "A simulated Adam2 or PSP boot loader serial console on a pseudo-terminal; open the device it prints\n"
    "as the serial port (any speed). The router is switched on after the first key from the PC.\n"
    "\n"
    "  --psp                 a PSPBoot console (default: Adam2), with the PSP sample's values\n"
    "  --set NAME=VALUE      set a variable (e.g. --set mtd0=0x90013010,0x903f0000)\n"
    "  --unset NAME          remove a variable\n"
    "  --power-on MS         switch on MS milliseconds after the first key (default 1000)\n"
    "  --countdown N         the countdown's steps (default 3)\n"
    "  --step MS             the time of each step (default 1000)\n"
    "Faults:\n"
    "  --never               nothing connected: never switched on\n"
    "  --boots-anyway N      the first N power-ons boot the firmware whatever is pressed\n"
    "  --reboot MS           after a firmware boot, switch on again MS later (default 3000; 0: never)\n"
    "  --noise               garbage before the banner\n"
    "  --no-echo             typed characters are not echoed\n"
    "  --slow MS             each character of output MS milliseconds late\n"
    "  --forget-writes       setenv prints nothing and keeps nothing\n"
    "  --hang-up-on-write    setenv keeps the value, then the line goes dead\n"
    "  --endless-line        printenv is answered by endless bytes without a line end\n"
    "  --silence             after the first line at the prompt nothing is answered\n";

int Usage(const std::string& problem) {
    std::cerr << "console-sim: " << problem << "\n" << kUsage;
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    flintor::ConsoleSettings settings;
    settings.faults.powerOnDelay = std::chrono::milliseconds(1000);
    settings.faults.rebootDelay = std::chrono::milliseconds(3000);
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
        } else if (option == "--never") {
            faults.neverPowersOn = true;
        } else if (option == "--noise") {
            faults.noise = true;
        } else if (option == "--no-echo") {
            faults.noEcho = true;
        } else if (option == "--forget-writes") {
            faults.forgetWrites = true;
        } else if (option == "--hang-up-on-write") {
            faults.hangUpOnWrite = true;
        } else if (option == "--endless-line") {
            faults.endlessLine = true;
        } else if (option == "--silence") {
            faults.silence = true;
        } else if (option == "--power-on" || option == "--step" || option == "--reboot" ||
                   option == "--slow") {
            const auto number = flintor::ReadWholeNumber(argument(), 0, 24LL * 3600 * 1000);
            if (!number) {
                return Usage(std::string(option) + " needs a number of milliseconds");
            }
            (option == "--power-on" ? faults.powerOnDelay
             : option == "--step"   ? settings.countdownStep
             : option == "--reboot" ? faults.rebootDelay
                                    : faults.charDelay) = std::chrono::milliseconds(*number);
        } else if (option == "--countdown" || option == "--boots-anyway") {
            const auto number = flintor::ReadWholeNumber(argument(), option == "--countdown" ? 1 : 0, 100);
            if (!number) {
                return Usage(std::string(option) + " needs a number from " +
                             (option == "--countdown" ? "1" : "0") + " to 100");
            }
            (option == "--countdown" ? settings.countdown : faults.bootsAnyway) = static_cast<int>(*number);
        } else if (option == "--set" || option == "--unset") {
            if (const std::string problem = changes.take(option, argument()); !problem.empty()) {
                return Usage(problem);
            }
        } else {
            return Usage("unknown option " + std::string(option));
        }
    }
    settings.environment = flintor::SampleEnvironment(settings.adam2);
    changes.applyTo(settings.environment);

    try {
        flintor::ConsoleSimulator simulator(settings);
        std::cout << "console-sim: " << (settings.adam2 ? "Adam2" : "PSP") << " boot loader console on "
                  << simulator.devicePath() << std::endl;
        asio::io_context io;
        asio::signal_set signals(io, SIGINT, SIGTERM);
        signals.async_wait([](const std::error_code&, int) {});
        io.run();
        // What the console was told, for whoever tried something on it.
        for (const std::string& command : simulator.commands()) {
            std::cout << "console-sim: received " << command << "\n";
        }
    } catch (const std::exception& error) {
        std::cerr << "console-sim: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
