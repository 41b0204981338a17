// flintor-calc --write-image and --backup against the simulated boot loader on 127.0.0.1: the program
// once along the whole way, as a script runs it, and each refusal once with its exit status and with
// nothing sent that it forbids. The faults of the write itself are the workflow's tests.
#include "CalcCommand.h"
#include "Cksum.h"
#include "Interruption.h"
#include "LoopbackOnly.h"
#include "ProgressLines.h"
#include "RouterSimulator.h"
#include "RunProcess.h"
#include "TestFiles.h"

#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

namespace flintor::cli {
namespace {

const std::string kPspImage = FLINTOR_SAMPLES_DIR "/psp-4mb.bin";

std::vector<std::uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(test::PathOf(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

SimulatorSettings Psp(SimulatorFaults faults = {}) {
    SimulatorSettings settings;
    settings.adam2 = false;
    settings.environment = SampleEnvironment(false);
    settings.faults = faults;
    return settings;
}

TEST(ImageWriteCommand, ProgramWritesCopiesRestartsAndDescribesItInJson) {
    ASSERT_TRUE(test::kLoopbackOnly);
    test::TempDir dir;
    RouterSimulator simulator(Psp());
    const std::vector<std::uint8_t> before = simulator.flash();
    const std::string copy = dir.file("mtd4 before.bin");
    const test::ProcessResult r =
        test::RunProcess(FLINTOR_CALC_BINARY,
                         {"--router", simulator.address().text(), "--wait", "5", "--write-image", "--backup",
                          copy, "--reboot", "--json", kPspImage},
                         dir.folder());
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    const Json json = Json::parse(r.out);
    const std::vector<std::uint8_t> image = FileBytes(kPspImage);
    EXPECT_EQ(json["image_write"], (Json{{"partition", "mtd4"},
                                         {"start", 0x90020000u},
                                         {"end", 0x90400000u},
                                         {"bytes", image.size()},
                                         {"cksum", CksumOf(image.data(), image.size())},
                                         {"reply", "226 Transfer complete."},
                                         {"read_back", "same"},
                                         {"backup", copy}}));
    EXPECT_EQ(json["rebooted"], true);
    EXPECT_EQ(json["applied"][0]["sent"], "SETENV mtd0,0x90022000,0x90400000");
    EXPECT_TRUE(std::filesystem::exists(dir.path() / test::PathOf(json["record"].get<std::string>())));
    EXPECT_TRUE(FileBytes(copy) == std::vector<std::uint8_t>(before.begin() + 0x20000, before.end()));
    EXPECT_EQ(simulator.commands().back(), "REBOOT");
    for (const char* progress :
         {"sending the image (100 %)\n", "the router is writing its flash; do not switch it off\n",
          "reading the image area back (100 %)\n"}) {
        EXPECT_TRUE(Has(r.err, progress)) << r.err;
    }
}

TEST(ImageWriteCommand, RefusalsEndWithTheirStatusAndSendNothingTheyForbid) {
    test::TempDir dir;
    std::vector<std::uint8_t> damaged = FileBytes(kPspImage), noKernel = damaged;
    damaged[0x100] ^= 1;
    noKernel.resize(noKernel.size() - 8); // without its checksum trailer
    noKernel[0x90] = 0;
    const std::string retr = "TYPE I|MEDIA FLSH|PASV|RETR mtd4|", stor = "TYPE I|MEDIA FLSH|PASV|STOR ";
    const struct {
        const char* name;
        std::vector<std::string> args; // --backup is followed by the copy's file
        int status;
        const char* err;
        std::string sent; // the commands after the read, '|' after each; "-": the router was not contacted
        const std::vector<std::uint8_t>* image = nullptr; // none: the sample
        SimulatorFaults faults = {};
        bool copyThere = false; // the copy's file exists
        bool adam2 = false;
    } cases[] = {
        {"damaged", {"--write-image"}, 1, "The image is damaged", "-", &damaged},
        {"no kernel", {"--write-image"}, 1, "No kernel begins", "-", &noKernel},
        {"copy's file there", {"--write-image", "--backup"}, 1, "exists already", "-", nullptr, {}, true},
        {"another layout",
         {"--write-image", "--bootloader", "adam2"},
         6,
         "The router's mtd3 (0x90010000, 0x90020000) differs",
         ""},
        {"no copy: no RETR",
         {"--write-image", "--backup"},
         4,
         "No copy of the image area could be made. Nothing was written",
         retr,
         nullptr,
         {.noRetr = true}},
        {"a copy beside the comparison", {"--backup"}, 3, "is saved in", retr},
        {"reads back wrong",
         {"--write-image", "--reboot"},
         5,
         "is unfinished: the router will not start its firmware until an image is written whole. Its boot "
         "loader is untouched",
         stor + "psp-4mb.bin mtd4|" + retr,
         nullptr,
         {.stuckByte = 100}},
        // Its values are for a kernel and a file system written separately: the image needs another layout.
        {"Adam2",
         {"--write-image"},
         0,
         "the image is written and reads back as sent",
         stor + "adam2-4mb.bin mtd4|" + retr +
             "SETENV mtd0,0x90013010,0x903F0000|SETENV mtd1,0x90010090,0x90013010|",
         nullptr,
         {},
         false,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatorSettings settings = Psp(c.faults);
        settings.adam2 = c.adam2;
        settings.environment = SampleEnvironment(c.adam2);
        RouterSimulator simulator(settings);
        const std::string copy =
            c.copyThere ? dir.write("there.bin", {7}) : dir.file(std::string(c.name) + ".bin");
        std::vector<std::string> args = {"--router", simulator.address().text(), "--wait", "5"};
        for (const auto& arg : c.args) {
            args.push_back(arg);
            if (arg == "--backup") {
                args.push_back(copy);
            }
        }
        args.push_back(c.adam2   ? FLINTOR_SAMPLES_DIR "/adam2-4mb.bin"
                       : c.image ? dir.write("psp-4mb.bin", *c.image)
                                 : kPspImage);
        std::ostringstream out, err;
        std::istringstream in;
        EXPECT_EQ(RunFlintorCalc(args, out, err, in), c.status) << err.str();
        EXPECT_TRUE(Has(err.str(), c.err)) << err.str();
        std::string sent;
        const std::vector<std::string> commands = simulator.commands();
        for (const auto& command : commands) {
            const bool read =
                command.starts_with("USER") || command.starts_with("PASS") || command.starts_with("GETENV");
            sent += read ? "" : command + "|";
        }
        EXPECT_EQ(commands.empty() ? "-" : sent, c.sent);
        EXPECT_EQ(FileBytes(copy).size(), c.copyThere ? 1 : c.status == 3 ? 0x3E0000 : 0);
    }
}

TEST(ProgressLines, ATerminalRewritesOneLineAndALogGetsALineAtEachTenth) {
    for (const bool terminal : {true, false}) {
        std::ostringstream err;
        {
            ProgressLines lines(err, terminal);
            for (std::uint64_t done = 0;; done = std::min<std::uint64_t>(done + 7, 1000)) {
                RouterProgress sending{
                    RouterProgress::Stage::SendingImage, "sending " + std::to_string(done), {}};
                sending.bytesDone = done;
                sending.bytesTotal = 1000;
                lines.show(sending);
                if (done == 1000) {
                    break;
                }
            }
            lines.show({RouterProgress::Stage::WritingFlash, "writing", {}});
        }
        const std::string text = err.str();
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), terminal ? 2 : 12) << text;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), terminal ? 144 : 0);
        EXPECT_TRUE(text.ends_with("sending 1000\nflintor-calc: note: writing\n")) << text;
    }
}

#ifndef _WIN32
TEST(InterruptionCatcher, CtrlCIsHandedOnInsteadOfEndingTheProgram) {
    std::atomic<int> interrupted{0};
    {
        const InterruptionCatcher catcher([&interrupted] { ++interrupted; });
        std::raise(SIGINT);
        for (int i = 0; i < 100 && interrupted == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    EXPECT_EQ(interrupted, 1);
    struct sigaction now {};
    ::sigaction(SIGINT, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL) << "the handler before is put back";
}
#endif

} // namespace
} // namespace flintor::cli
