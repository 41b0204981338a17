// flintor-calc --router against the simulated boot loader on 127.0.0.1: the exit statuses, what is
// printed and what is written to the router and to the record. The conversation's own faults are tested
// with the router layer; here each ending of the command once.
#include "CalcCommand.h"
#include "LoopbackOnly.h"
#include "RouterSimulator.h"
#include "RunProcess.h"
#include "SerialConnection.h"
#include "TestFiles.h"
#include "Texts.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

#ifdef FLINTOR_CONSOLE_SIM
#include "ConsoleSimulator.h"
#endif

namespace flintor::cli {
namespace {

const std::string kPassword = "s3cret-Word";
const std::string kPspImage = FLINTOR_SAMPLES_DIR "/psp-4mb.bin";
const std::string kAdam2Image = FLINTOR_SAMPLES_DIR "/adam2-4mb.bin";

SimulatorSettings Simulated(bool adam2, SimulatorFaults faults = {}) {
    SimulatorSettings settings;
    settings.adam2 = adam2;
    settings.environment = SampleEnvironment(adam2);
    settings.password = kPassword;
    settings.faults = faults;
    return settings;
}

std::string FileText(const std::string& path) {
    std::ifstream in(test::PathOf(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(RouterCommand, EachEndingHasItsStatusItsOutputAndWritesOnlyWhatItSays) {
    ASSERT_TRUE(test::kLoopbackOnly);
    const struct {
        const char* name;
        bool adam2;
        SimulatorFaults faults;
        std::vector<std::string> args;
        bool recordExists; // --record names a file that is there already
        int status;
        const char* out; // a part of standard output
        const char* err; // a part of standard error
        const char* mtd0After;
        bool recorded;
        const char* image = nullptr; // instead of the sample: a combined image of 1 MiB, "hsqs" at magicAt
        std::vector<std::size_t> magicAt = {};
        const char* greeting = nullptr; // instead of the boot loader's own
    } cases[] = {
        {"read only",
         false,
         {},
         {},
         false,
         3,
         "mtd0       0x900A0000, 0x90400000  0x90022000",
         "logged in",
         "0x900a0000,0x90400000",
         false},
        {"read and record",
         false,
         {},
         {"--record"},
         false,
         3,
         "Restore:\nmtd0: 0x900A0000, 0x90400000",
         "saved in",
         "0x900a0000,0x90400000",
         true},
        {"repaired",
         false,
         {},
         {"--apply", "--record"},
         false,
         0,
         "Written:\nmtd0  sent:      SETENV mtd0,0x90022000,0x90400000\n      reply:     200 SETENV command "
         "successful\n      read back: 0x90022000, 0x90400000 (as calculated)\n\nRestore:\nmtd0: 0x900A0000, "
         "0x90400000\n\nRecord: ",
         "read back mtd0: 0x90022000, 0x90400000 (as calculated)",
         "0x90022000,0x90400000",
         true},
        {"write not kept",
         false,
         {.forgetWrites = true},
         {"--apply", "--record"},
         false,
         5,
         "read back: 0x900A0000, 0x90400000 (not as calculated)\n\nRestore:\nmtd0: 0x900A0000, 0x90400000",
         "instead of the calculated",
         "0x900a0000,0x90400000",
         true},
        {"line dropped after the write",
         false,
         {.dropAfterWrite = true},
         {"--apply", "--record"},
         false,
         5,
         "reply:     sent, no reply\n      read back: could not be read",
         "closed the connection",
         "0x90022000,0x90400000",
         true},
        // A PSP router whose FTP server calls itself ADAM2: its configuration block says PSP.
        {"greeting names the other boot loader",
         false,
         {},
         {"--apply"},
         false,
         0,
         "read back: 0x90022000, 0x90400000 (as calculated)",
         "PSP is used, since the boot loader itself put that block there",
         "0x90022000,0x90400000",
         false,
         nullptr,
         {},
         "ADAM2 FTP Server ready."},
        {"the layout forbids the write",
         false,
         {},
         {"--apply", "--bootloader", "adam2"},
         false,
         6,
         "mtd3       0x90010000, 0x90020000  0x903F0000, 0x90400000  differs",
         "The router's mtd3 (0x90010000, 0x90020000) differs from the calculated 0x903F0000, 0x90400000. "
         "Flintor never moves",
         "0x900a0000,0x90400000",
         false},
        {"a value after the reply",
         false,
         {.valueAfterReply = true},
         {"--apply", "--record"},
         false,
         4,
         "",
         "in answer to GETENV mtd1: Flintor does not understand the conversation",
         "0x900a0000,0x90400000",
         false},
        {"nothing to repair",
         true,
         {},
         {"--apply"},
         false,
         0,
         "Repair:\n\nRestore:\n",
         "nothing to repair",
         "0x90020000,0x903f0000",
         false},
        {"login refused",
         false,
         {.refuseLogin = true},
         {"--apply", "--record"},
         false,
         4,
         "",
         "127.0.0.1:",
         "0x900a0000,0x90400000",
         false},
        {"record there already",
         false,
         {},
         {"--apply", "--record"},
         true,
         1,
         "",
         "exists",
         "0x900a0000,0x90400000",
         false},
        {"no file system in the image",
         false,
         {},
         {"--apply", "--record"},
         false,
         1,
         "",
         texts::kNotSquashFs,
         "0x900a0000,0x90400000",
         false,
         "plain.bin"},
        {"file system inside the header",
         false,
         {},
         {"--apply", "--record"},
         false,
         1,
         "",
         texts::kFilesystemInHeader,
         "0x900a0000,0x90400000",
         false,
         "header.bin",
         {0x20}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const std::string record = dir.file("before.txt");
        if (c.recordExists) {
            std::ofstream(test::PathOf(record), std::ios::binary) << "mine\n";
        }
        SimulatorSettings settings = Simulated(c.adam2, c.faults);
        settings.greeting = c.greeting ? c.greeting : "";
        RouterSimulator simulator(settings);
        std::vector<std::string> args = {"--router", simulator.address().text(), "--password", kPassword};
        for (const auto& arg : c.args) {
            args.push_back(arg);
            if (arg == "--record") {
                args.push_back(record);
            }
        }
        args.push_back(c.image ? dir.image(c.image, 0x100000, c.magicAt) : c.adam2 ? kAdam2Image : kPspImage);
        std::ostringstream out, err;
        std::istringstream in;
        EXPECT_EQ(RunFlintorCalc(args, out, err, in), c.status) << err.str();
        EXPECT_TRUE(Has(out.str(), c.out)) << out.str();
        EXPECT_TRUE(Has(err.str(), c.err)) << err.str();
        EXPECT_EQ(simulator.value("mtd0"), c.mtd0After);
        EXPECT_EQ(c.recordExists ? FileText(record) == "mine\n"
                                 : std::filesystem::exists(test::PathOf(record)),
                  c.recordExists || c.recorded);
        if (c.recordExists) {
            EXPECT_TRUE(simulator.commands().empty()) << "the router was contacted";
        }
        if (c.image) {
            EXPECT_TRUE(simulator.commands().empty()) << "the router was contacted for a refused image";
        }
        for (const auto& command : simulator.commands()) {
            EXPECT_TRUE(command.starts_with("USER") || command.starts_with("PASS") ||
                        command.starts_with("GETENV") || command.starts_with("SETENV mtd0,"))
                << command;
        }
        EXPECT_FALSE(Has(out.str() + err.str() + FileText(record), kPassword));
    }
}

// The program itself, as a script runs it: the record under its own name in the current folder, and the
// --json document with the session, the record and what was written.
TEST(RouterCommand, ProgramRepairsAndDescribesItInJson) {
    test::TempDir dir;
    RouterSimulator simulator(Simulated(false));
    const test::ProcessResult r = test::RunProcess(FLINTOR_CALC_BINARY,
                                                   {"--router", simulator.address().text(), "--password",
                                                    kPassword, "--wait", "5", "--apply", "--json", kPspImage},
                                                   dir.folder());
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    const Json json = Json::parse(r.out);
    EXPECT_EQ(json["session"], (Json{{"host", "127.0.0.1"},
                                     {"port", simulator.port()},
                                     {"banner", "220 PSPBoot FTP Server ready."},
                                     {"user", "adam2"}}));
    const std::string record = json["record"];
    EXPECT_TRUE(record.starts_with("flintor-router-") && record.ends_with(".txt")) << record;
    EXPECT_TRUE(Has(FileText(dir.file(record)), "mtd0              0x900a0000,0x90400000"));
    EXPECT_EQ(json["applied"], Json::array({{{"name", "mtd0"},
                                             {"sent", "SETENV mtd0,0x90022000,0x90400000"},
                                             {"reply", "200 SETENV command successful"},
                                             {"read_back", {{"start", 0x90022000u}, {"end", 0x90400000u}}},
                                             {"ok", true}}}));
    EXPECT_EQ(json["comparison"][0]["partitions"][0]["status"], "differs");
    EXPECT_EQ(json["refused"], nullptr);
    EXPECT_FALSE(Has(r.out + r.err, kPassword));

    const test::ProcessResult refused =
        test::RunProcess(FLINTOR_CALC_BINARY,
                         {"--router", simulator.address().text(), "--password", kPassword, "--bootloader",
                          "adam2", "--apply", "--json", kPspImage},
                         dir.folder());
    ASSERT_EQ(refused.exitStatus, 6) << refused.err;
    const Json refusal = Json::parse(refused.out)["refused"];
    EXPECT_EQ(refusal["partition"], "mtd3");
    EXPECT_EQ(refusal["router"], (Json{{"start", 0x90010000u}, {"end", 0x90020000u}}));
    EXPECT_EQ(refusal["calculated"], (Json{{"start", 0x903F0000u}, {"end", 0x90400000u}}));
    EXPECT_TRUE(Has(refusal["reason"], "nothing was written"));
    EXPECT_EQ(Json::parse(refused.out)["applied"], Json::array());
}

// --serial through the same workflow as --router: a read, a repair read back and recorded, the refusal,
// and the device names refused before anything is opened (COM names on Windows, where that is all that
// runs). The console's faults are tested with its transport.
TEST(RouterCommand, OverTheSerialConsoleReadsRepairsAndRefusesAsOverFtp) {
    test::TempDir dir;
    const std::string plain = dir.file("capture.txt"), record = dir.file("record.txt");
    std::ofstream(test::PathOf(plain)) << "mtd0 0x90020000,0x903f0000\n";
    const struct {
        const char* device; // nullptr: the simulated console's, which boots its firmware once for a read
        std::vector<std::string> args;
        int status;
        const char* err;
    } cases[] = {
        {nullptr, {}, 3, "booted its firmware instead"},
        {nullptr,
         {"--apply", "--record", record, "--json", "--baud", "115200"},
         0,
         "read back mtd0: 0x90022000"},
        {nullptr, {"--apply", "--bootloader", "adam2"}, 6, "Flintor never moves"},
        {kWindowsDeviceNames ? "/dev/flintor-no-port" : "/dev/ttyUSB\x01",
         {"--apply"},
         1,
         kWindowsDeviceNames ? "write it as COM3" : "no usable serial port name"},
        {kWindowsDeviceNames ? nullptr : plain.c_str(), {"--apply"}, 4, "is a plain file, not a serial port"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
#ifdef FLINTOR_CONSOLE_SIM
        ConsoleSettings settings;
        settings.adam2 = false;
        settings.environment = SampleEnvironment(false);
        settings.countdownStep = std::chrono::milliseconds(80);
        settings.faults = {.bootsAnyway = c.status == 3, .rebootDelay = std::chrono::milliseconds(100)};
        ConsoleSimulator console(settings);
        const std::string device = c.device ? c.device : console.devicePath();
#else
        if (!c.device) {
            continue;
        }
        const std::string device = c.device;
#endif
        std::vector<std::string> args = {"--serial", device, "--wait", "5"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back(kPspImage);
        std::ostringstream out, err;
        std::istringstream in;
        EXPECT_EQ(RunFlintorCalc(args, out, err, in), c.status) << err.str();
        EXPECT_TRUE(Has(err.str(), c.err)) << err.str();
        EXPECT_TRUE(c.status != 4 || Has(err.str(), device)) << "the device is named";
        EXPECT_EQ(Has(err.str(), "switch the router on now; Flintor presses ESC for you"), !c.device);
        EXPECT_EQ(Has(out.str(), "mtd0       0x900A0000, 0x90400000  0x90022000"), c.status == 3);
#ifdef FLINTOR_CONSOLE_SIM
        EXPECT_EQ(console.value("mtd0"), c.status == 0 ? "0x90022000,0x90400000" : "0x900a0000,0x90400000");
        for (const auto& command : console.commands()) {
            EXPECT_TRUE(command.find_first_not_of("\\x1b") == std::string::npos || command == "printenv" ||
                        command == "printenv mtd0" || command == "setenv mtd0 0x90022000,0x90400000")
                << command;
        }
        if (c.status == 0) {
            const Json json = Json::parse(out.str());
            const std::string banner = json["session"]["banner"];
            EXPECT_EQ(json["session"],
                      (Json{{"device", device}, {"baud", 115200}, {"banner", banner}, {"prompt", "(psbl)"}}));
            EXPECT_TRUE(banner.starts_with("PSPBoot") && !Has(banner, "(psbl)")) << banner;
            EXPECT_EQ(json["record"], record);
            EXPECT_TRUE(Has(FileText(record), "on the console " + device));
            EXPECT_EQ(json["applied"],
                      Json::array({{{"name", "mtd0"},
                                    {"sent", "setenv mtd0 0x90022000,0x90400000"},
                                    {"reply", "(psbl)"},
                                    {"read_back", {{"start", 0x90022000u}, {"end", 0x90400000u}}},
                                    {"ok", true}}}));
        }
#endif
    }
}

} // namespace
} // namespace flintor::cli
