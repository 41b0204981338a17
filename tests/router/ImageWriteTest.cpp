// An image written into the image area by the shared workflow, against the simulated boot loader on
// loopback: the order of the steps, where the image lands (and that the flash outside the image area is
// untouched, byte for byte), each refusal and each way a router or its line fails.

#include "ImageWrite.h"

#include "FirmwareImage.h"
#include "LoopbackOnly.h"
#include "RouterEnvironment.h"
#include "RouterSimulator.h"
#include "TestFiles.h"

#include <fstream>
#include <gtest/gtest.h>

namespace flintor {
namespace {

using std::chrono::milliseconds;
using Step = ImageWriteStep;

RouterSessionOptions Quick(milliseconds replyTimeout) {
    RouterSessionOptions options;
    options.connection.wait = milliseconds(3000);
    options.connection.retryInterval = milliseconds(10);
    options.connection.replyTimeout = replyTimeout;
    options.connection.flashReplyTimeout = milliseconds(1500);
    options.connection.dataStallTimeout = milliseconds(300);
    options.connection.loopbackOnly = true;
    return options;
}

std::vector<std::uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(test::PathOf(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(ImageWrite, LandsInTheCalculatedImageAreaOnlyAndStopsAtTheFirstFailure) {
    ASSERT_TRUE(test::kLoopbackOnly);
    const std::string retr = "TYPE I|MEDIA FLSH|PASV|RETR mtd4|";
    const std::string psp = "TYPE I|MEDIA FLSH|PASV|STOR psp-4mb.bin mtd4|";
    const std::string mtd0 = "SETENV mtd0,0x90022000,0x90400000|GETENV mtd0|";
    const std::string mtd4 = "SETENV mtd4,0x90020000,0x90400000|GETENV mtd4|";
    struct Case {
        const char* name;
        SimulatorFaults faults = {};
        std::string steps; // the commands after the read, '|' after each
        Step stoppedAt = Step::Done;
        ImageReadBack readBack = ImageReadBack::Same;
        std::size_t landed = SIZE_MAX; // bytes of the image in the flash
        bool backup = false;
        bool reboot = false;
        bool adam2 = false;
        std::vector<std::pair<const char*, const char*>> router = {}; // the router's own values
        bool backupThere = false;                                     // the copy's file exists
        milliseconds replyTimeout{2000};
    };
    const Case cases[] = {
        {.name = "copied, written, read back, repaired, restarted",
         .steps = retr + psp + retr + mtd0 + "REBOOT|",
         .backup = true,
         .reboot = true},
        // The router's values are Adam2's separate layout: a combined image needs the single one.
        {.name = "Adam2",
         .steps =
             "TYPE I|MEDIA FLSH|PASV|STOR adam2-4mb.bin mtd4|" + retr +
             "SETENV mtd0,0x90013010,0x903F0000|GETENV mtd0|SETENV mtd1,0x90010090,0x90013010|GETENV mtd1|",
         .adam2 = true},
        {.name = "the router's mtd4 over its boot block",
         .steps = mtd4 + psp + retr + mtd0,
         .router = {{"mtd4", "0x90000000,0x90400000"}}},
        {.name = "mtd4 not kept",
         .faults = {.forgetWrites = true},
         .steps = mtd4,
         .stoppedAt = Step::ImageArea,
         .readBack = ImageReadBack::NotRead,
         .landed = 0,
         .router = {{"mtd4", "0x90000000,0x90400000"}}},
        {.name = "the configuration block elsewhere",
         .steps = "",
         .stoppedAt = Step::Checks,
         .readBack = ImageReadBack::NotRead,
         .landed = 0,
         .router = {{"mtd3", "0x903F0000,0x90400000"}}},
        {.name = "no copy: no RETR",
         .faults = {.noRetr = true},
         .steps = retr,
         .stoppedAt = Step::Backup,
         .readBack = ImageReadBack::NotRead,
         .landed = 0,
         .backup = true},
        {.name = "no copy: its file is there",
         .steps = retr,
         .stoppedAt = Step::BackupFile,
         .readBack = ImageReadBack::NotRead,
         .landed = 0,
         .backup = true,
         .backupThere = true},
        {.name = "no read-back: no RETR",
         .faults = {.noRetr = true},
         .steps = psp + retr + mtd0,
         .readBack = ImageReadBack::Unavailable},
        {.name = "flash slower than a reply",
         .faults = {.flashTime = milliseconds(800)},
         .steps = psp + retr + mtd0,
         .replyTimeout = milliseconds(500)},
        {.name = "227 naming another address",
         .faults = {.passiveAddress = "192.0.2.1"},
         .steps = psp + retr + mtd0},
        {.name = "a stuck byte",
         .faults = {.stuckByte = 5000},
         .steps = psp + retr,
         .stoppedAt = Step::ReadBack,
         .readBack = ImageReadBack::Differs,
         .reboot = true},
        {.name = "refused STOR",
         .faults = {.refuseStore = true},
         .steps = psp,
         .stoppedAt = Step::Image,
         .readBack = ImageReadBack::NotRead,
         .landed = 0},
        {.name = "line dies during the image",
         .faults = {.dataDiesAfter = 5000},
         .steps = psp,
         .stoppedAt = Step::Image,
         .readBack = ImageReadBack::NotRead,
         .landed = 5000},
        {.name = "line stalls during the image",
         .faults = {.dataStallsAfter = 5000},
         .steps = psp,
         .stoppedAt = Step::Image,
         .readBack = ImageReadBack::NotRead,
         .landed = 5000},
        {.name = "line dies during the read-back",
         .faults = {.dataDiesAfter = 100'000},
         .steps = psp + retr,
         .stoppedAt = Step::ReadBack,
         .readBack = ImageReadBack::NotRead},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const auto loaded =
            LoadFirmwareImage(FLINTOR_SAMPLES_DIR + std::string(c.adam2 ? "/adam2" : "/psp") + "-4mb.bin");
        ASSERT_TRUE(loaded.image) << loaded.error;
        const std::vector<std::uint8_t>& image = loaded.image->bytes;
        SimulatorSettings settings;
        settings.adam2 = c.adam2;
        settings.environment = SampleEnvironment(c.adam2);
        for (const auto& [name, value] : c.router) {
            SetVariable(settings.environment, name, value);
        }
        settings.faults = c.faults;
        RouterSimulator simulator(settings);
        const std::vector<std::uint8_t> before = simulator.flash();

        RouterSession session(simulator.address(), Quick(c.replyTimeout));
        const RouterReadResult read = session.read();
        ASSERT_TRUE(read.reading) << read.message;
        const auto layout = CalculateLayout(static_cast<std::int64_t>(image.size()),
                                            loaded.image->scan.filesystemOffset, 0x400000, c.adam2, 0);
        const auto environment = ReadRouterEnvironment(CaptureText(*read.reading), false).environment;
        const RouterComparison comparison = CompareWithRouter(ImageWriteLayout(*layout), *environment, 0);
        ImageWritePlan plan{.image = std::span<const std::uint8_t>(image),
                            .imageName = loaded.image->fileName,
                            .record = RecordTarget{.path = dir.file("record.txt")},
                            .reboot = c.reboot};
        if (c.backup) {
            plan.backupPath = c.backupThere ? dir.write("copy.bin", {1, 2, 3}) : dir.file("copy.bin");
        }
        const std::size_t commandsBefore = simulator.commands().size();
        const ImageWriteResult result = WriteImage(session, comparison, plan);

        EXPECT_EQ(result.stoppedAt, c.stoppedAt) << result.message;
        EXPECT_EQ(result.message.empty(), c.stoppedAt == Step::Done) << result.message;
        EXPECT_EQ(result.readBack, c.readBack) << result.readBackNote;
        EXPECT_EQ(result.rebooted, c.reboot && c.stoppedAt == Step::Done);
        EXPECT_EQ(result.imageAreaUnfinished(), c.stoppedAt == Step::ReadBack
                                                    ? c.readBack == ImageReadBack::Differs
                                                    : c.stoppedAt == Step::Image && c.landed != 0);
        std::string steps;
        const std::vector<std::string> commands = simulator.commands();
        for (std::size_t i = commandsBefore; i < commands.size(); ++i) {
            steps += commands[i] + "|";
        }
        EXPECT_EQ(steps, c.steps);

        // The flash outside the calculated image area is as it was, byte for byte.
        const std::size_t area = c.adam2 ? 0x10000 : 0x20000, areaSize = 0x3E0000;
        std::vector<std::uint8_t> expected = before;
        if (c.landed != 0) {
            std::fill_n(expected.begin() + area, areaSize, 0xFF);
            std::copy_n(image.begin(), std::min(c.landed, image.size()), expected.begin() + area);
        }
        if (c.faults.stuckByte >= 0) {
            expected[area + c.faults.stuckByte] ^= 0x01;
        }
        EXPECT_TRUE(simulator.flash() == expected);

        EXPECT_EQ(std::filesystem::exists(test::PathOf(result.recordPath)), c.stoppedAt != Step::Checks);
        if (c.backup) {
            // The copy is of the router's mtd4 as it was.
            const std::vector<std::uint8_t> copy = FileBytes(*plan.backupPath);
            const std::vector<std::uint8_t> old(before.begin() + 0x20000, before.end());
            EXPECT_TRUE((c.stoppedAt == Step::Backup ? copy.empty()
                         : c.backupThere             ? copy == std::vector<std::uint8_t>{1, 2, 3}
                                                     : copy == old));
        }
    }
}

} // namespace
} // namespace flintor
