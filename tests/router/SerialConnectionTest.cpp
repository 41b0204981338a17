// The serial console link: device names, then (Linux) the transport against the simulated console on a
// pseudo-terminal of the test's own, with short times.

#include "SerialConnection.h"

#include "RouterRecord.h"

#include <gtest/gtest.h>

#ifdef FLINTOR_CONSOLE_SIM
#include "ConsoleSimulator.h"

#include <filesystem>
#include <fstream>
#include <future>
#include <thread>
#include <unistd.h>
#endif

namespace flintor {
namespace {

using std::chrono::milliseconds;

// Names only: nothing here is opened.
TEST(SerialConnection, TakesWindowsPortNamesAndPathsElsewhere) {
    const struct {
        const char* name;
        bool windows;
        const char* path; // empty: unusable
    } cases[] = {
        {"COM3", true, "\\\\.\\COM3"},
        {"com12", true, "\\\\.\\COM12"},
        {"\\\\.\\COM12", true, "\\\\.\\COM12"},
        {"\\\\.\\CNCA0", true, "\\\\.\\CNCA0"},
        {"COM255", true, "\\\\.\\COM255"},
        {"COM0", true, ""},
        {"COM256", true, ""},
        {"COM03", true, ""},
        {"COM3:", true, ""},
        {"/dev/ttyS0", true, ""},
        {"\\\\.\\", true, ""},
        {"/dev/ttyUSB0", false, "/dev/ttyUSB0"},
        {"COM3", false, "COM3"},
        {"", false, ""},
        {"/dev/tty\x01", false, ""},
        {"COM3\n", true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SerialDevicePath device = SerialDevicePathOf(c.name, c.windows);
        EXPECT_EQ(device.path, c.path);
        EXPECT_EQ(device.error.empty(), *c.path != '\0') << device.error;
    }
    EXPECT_TRUE(SerialDevicePathOf(std::string(257, 'a'), false).path.empty());
}

#ifdef FLINTOR_CONSOLE_SIM

TEST(SerialConnection, ListsUsbAdaptersFirstAndPortsByNumber) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("flintor-ports-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    for (const char* name :
         {"ttyS10", "ttyS2", "ttyACM0", "ttyUSB1", "ttyUSB0", "tty1", "ttySx", "console"}) {
        std::ofstream(folder / name).put('\n');
    }
    std::vector<std::string> expected;
    for (const char* name : {"ttyUSB0", "ttyUSB1", "ttyACM0", "ttyS2", "ttyS10"}) {
        expected.push_back((folder / name).string());
    }
    EXPECT_EQ(SerialPortNames(folder.string()), expected);
    std::filesystem::remove_all(folder);
    EXPECT_TRUE(SerialPortNames(folder.string()).empty());
}

std::vector<std::string> Names() {
    return {kRouterVariables.begin(), kRouterVariables.end()};
}

ConsoleSettings Simulated(bool adam2, ConsoleFaults faults = {}) {
    ConsoleSettings settings;
    settings.adam2 = adam2;
    settings.environment = SampleEnvironment(adam2);
    settings.countdownStep = milliseconds(80);
    settings.faults = faults;
    return settings;
}

SerialOptions Quick(milliseconds wait = milliseconds(3000), milliseconds replyTimeout = milliseconds(2000)) {
    SerialOptions options;
    options.wait = wait;
    options.replyTimeout = replyTimeout;
    return options;
}

// Every line the console was given: the keys of the break-in, then printenv and setenv alone.
void ExpectOnlyPrintenvAndSetenv(const std::vector<std::string>& commands) {
    ASSERT_FALSE(commands.empty());
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const std::string& command = commands[i];
        const bool breakIn = i == 0 && command.find_first_not_of("\\x1b") == std::string::npos;
        EXPECT_TRUE(breakIn || command == "printenv" || command.rfind("printenv mtd", 0) == 0 ||
                    command.rfind("setenv mtd", 0) == 0)
            << command;
    }
}

TEST(SerialConnection, ReadsAndWritesThroughEachFaultOfTheConsole) {
    using F = FailureKind;
    enum class Step { None, Open, Read, Write }; // where the conversation ends
    const PartitionBounds repair{1, 0x90010090u, 0x90020000u};
    const char* const repaired = "0x90010090,0x90020000";
    const struct {
        const char* name;
        bool adam2;
        ConsoleFaults faults;
        int wait, replyTimeout; // ms
        Step failsAt;
        F failure;
        const char* expected; // part of the failure's message; without a failure mtd1 read back
    } cases[] = {
        {"PSPBoot", false, {}, 3000, 2000, Step::None, F::None, repaired},
        {"Adam2", true, {}, 3000, 2000, Step::None, F::None, repaired},
        {"switched on late",
         false,
         {.powerOnDelay = milliseconds(300)},
         3000,
         2000,
         Step::None,
         F::None,
         repaired},
        {"nothing connected",
         true,
         {.neverPowersOn = true},
         300,
         2000,
         Step::Open,
         F::NoAnswer,
         "Nothing was received"},
        {"boots anyway, then the next power-on",
         false,
         {.bootsAnyway = 1, .rebootDelay = milliseconds(100)},
         3000,
         2000,
         Step::None,
         F::None,
         repaired},
        {"boots anyway every time",
         true,
         {.bootsAnyway = 1, .rebootDelay = milliseconds(0)},
         700,
         2000,
         Step::Open,
         F::NoAnswer,
         "booted its firmware instead"},
        {"noise before the banner", true, {.noise = true}, 3000, 2000, Step::None, F::None, repaired},
        {"no echo", false, {.noEcho = true}, 3000, 2000, Step::None, F::None, repaired},
        {"slow console", false, {.charDelay = milliseconds(1)}, 3000, 2000, Step::None, F::None, repaired},
        {"setenv not kept",
         true,
         {.forgetWrites = true},
         3000,
         2000,
         Step::None,
         F::None,
         "0x90010000,0x90020000"},
        {"hang-up mid-write",
         false,
         {.hangUpOnWrite = true},
         3000,
         2000,
         Step::Write,
         F::Closed,
         "hung up before answering setenv mtd1"},
        {"endless line",
         true,
         {.endlessLine = true},
         3000,
         2000,
         Step::Read,
         F::LineTooLong,
         "longer than 4096 bytes"},
        {"silence",
         false,
         {.silence = true},
         3000,
         200,
         Step::Read,
         F::Timeout,
         "did not answer printenv with its prompt within 200 ms"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ConsoleSimulator simulator(Simulated(c.adam2, c.faults));
        SerialConnection connection(simulator.devicePath(),
                                    Quick(milliseconds(c.wait), milliseconds(c.replyTimeout)));
        std::string progress;
        const auto opened =
            connection.open([&progress](const RouterProgress& report) { progress += report.text; });
        const auto failed = [&](Step step, const ConversationEvent& event) {
            EXPECT_EQ(event.failure, c.failsAt == step ? c.failure : F::None) << event.message;
            if (c.failsAt == step) {
                EXPECT_NE(event.message.find(c.expected), std::string::npos) << event.message;
            }
            return c.failsAt == step;
        };
        if (failed(Step::Open, opened)) {
            EXPECT_NE(opened.message.find(simulator.devicePath()), std::string::npos) << opened.message;
            continue;
        }
        EXPECT_EQ(connection.prompt(), c.adam2 ? "Adam2_AR7RD >" : "(psbl)");
        EXPECT_NE(connection.banner().find(c.adam2 ? "Adam2 boot loader" : "PSPBoot"), std::string::npos);
        EXPECT_EQ(connection.banner().find("\\x"), std::string::npos) << "noise in the banner";
        EXPECT_EQ(simulator.powerOns(), 1 + c.faults.bootsAnyway);
        EXPECT_EQ(progress.find("booted its firmware") != std::string::npos, c.faults.bootsAnyway > 0);

        const auto values = connection.readValues(Names());
        if (failed(Step::Read, values[0])) {
            continue;
        }
        ASSERT_EQ(values.size(), kRouterVariables.size());
        const SimulatedEnvironment held = SampleEnvironment(c.adam2);
        for (std::size_t i = 0; i < values.size(); ++i) {
            const auto it = std::find_if(held.begin(), held.end(),
                                         [&](const auto& v) { return v.first == kRouterVariables[i]; });
            EXPECT_EQ(values[i].name, kRouterVariables[i]);
            EXPECT_EQ(values[i].value, it == held.end() ? "" : it->second);
        }

        std::string sent;
        const auto written = connection.writePartition(repair, &sent);
        EXPECT_EQ(sent, "setenv mtd1 0x90010090,0x90020000");
        if (failed(Step::Write, written)) {
            EXPECT_EQ(connection.readValue("mtd1").failure, c.failure);
            EXPECT_EQ(simulator.value("mtd1"), repaired);
            continue;
        }
        EXPECT_EQ(written.kind, ConversationEventKind::WriteAccepted);
        EXPECT_EQ(connection.readValue("mtd1").value, c.expected);
        // Adam2 does not know printenv NAME: the whole list is read back instead.
        const auto commands = simulator.commands();
        ExpectOnlyPrintenvAndSetenv(commands);
        std::vector<std::string> expected = {"printenv", "setenv mtd1 0x90010090,0x90020000",
                                             "printenv mtd1"};
        if (c.adam2) {
            expected.push_back("printenv");
        }
        ASSERT_GE(commands.size(), expected.size());
        EXPECT_EQ(
            std::vector<std::string>(commands.end() - static_cast<long>(expected.size()), commands.end()),
            expected);
    }
}

TEST(SerialConnection, CancelEndsTheWaitAtOnce) {
    ConsoleSimulator simulator(Simulated(true, {.neverPowersOn = true}));
    SerialConnection connection(simulator.devicePath(), Quick(milliseconds(60'000)));
    std::promise<void> waiting;
    std::once_flag once;
    std::thread canceller([&] {
        waiting.get_future().wait();
        connection.cancel();
    });
    const auto start = std::chrono::steady_clock::now();
    const auto event = connection.open([&](const RouterProgress& progress) {
        if (progress.stage == RouterProgress::Stage::Waiting) {
            std::call_once(once, [&] { waiting.set_value(); });
        }
    });
    canceller.join();
    EXPECT_EQ(event.failure, FailureKind::Cancelled) << event.message;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(connection.readValue("mtd0").failure, FailureKind::Cancelled);
}

TEST(SerialConnection, NamesTheDeviceThatIsNoUsableSerialPort) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("flintor-serial-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string plain = (folder / "capture.txt").string();
    std::ofstream(plain) << "mtd0 0x90020000,0x903f0000\n";
    ConsoleSimulator simulator(Simulated(false));
    SerialConnection holder(simulator.devicePath(), Quick());
    ASSERT_EQ(holder.open().kind, ConversationEventKind::Banner);

    const struct {
        std::string device;
        FailureKind failure;
        const char* message;
    } cases[] = {
        {"", FailureKind::AddressRefused, "No serial port was named"},
        {"/dev/ttyUSB\x01", FailureKind::AddressRefused, "control characters"},
        {(folder / "ttyUSB9").string(), FailureKind::Network, "There is no serial port"},
        {plain, FailureKind::Network, "is a plain file, not a serial port"},
        {folder.string(), FailureKind::Network, "is a folder, not a serial port"},
        {"/dev/null", FailureKind::Network, "is not a serial port"},
        {simulator.devicePath(), FailureKind::Network, "is in use by another program"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device);
        SerialConnection connection(c.device, Quick(milliseconds(100)));
        const auto event = connection.open();
        EXPECT_EQ(event.failure, c.failure);
        EXPECT_NE(event.message.find(c.message), std::string::npos) << event.message;
        if (c.failure == FailureKind::Network) {
            EXPECT_NE(event.message.find(c.device), std::string::npos) << event.message;
        }
    }
    std::filesystem::remove_all(folder);
}

#endif

} // namespace
} // namespace flintor
