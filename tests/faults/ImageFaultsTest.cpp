// Firmware files that vanish, shrink, turn unreadable or are not files at all, met by the Calculate
// command as the window and flintor-calc run it: each ends with a clear message or a clean stop, never
// a hang, a crash or a partial result.
#include "CalcCommand.h"
#include "FaultSupport.h"
#include "RunProcess.h"
#include "TestFiles.h"
#include "Texts.h"

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <sys/stat.h>

namespace flintor::faults {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

class ImageFaults : public ::testing::Test {
protected:
    TempDir dir;
    Workflow workflow;
    RecordingHost host;

    // A PSP calculation on a 4 MiB flash of `name` in the temporary folder.
    WorkflowInputs inputs(const std::string& name, const std::string& folder = {}) const {
        WorkflowInputs in;
        in.folder = folder.empty() ? dir.path().string() : folder;
        in.fileName = name;
        in.memoryOption = 1;
        in.psp = true;
        in.mtd5Visible = true;
        return in;
    }

    WorkflowOutcome run(const WorkflowInputs& in, std::function<bool(const std::string&)> onPump = {}) {
        host = RecordingHost();
        host.onPump = std::move(onPump);
        return workflow.calculate(in, host);
    }

    // The run was refused with exactly `message` and showed no result.
    void expectRefused(WorkflowOutcome outcome, const std::string& message, const std::string& name) {
        EXPECT_NE(outcome, WorkflowOutcome::Completed) << name;
        EXPECT_EQ(host.messages, std::vector<std::string>{message}) << name;
        EXPECT_FALSE(host.results) << name;
        ASSERT_FALSE(host.statuses.empty()) << name;
        EXPECT_TRUE(host.statuses.back() == texts::kValidationFailed ||
                    host.statuses.back() == texts::kCalculationFailed)
            << name << ": " << host.statuses.back();
        EXPECT_FALSE(workflow.lastCalculation()) << name;
    }
};

TEST_F(ImageFaults, FilesChangedBetweenListingAndCalculation) {
    struct Case {
        const char* name;
        std::function<void(const std::string& path)> change;
        std::string message;
    };
    const Case cases[] = {
        {"removed", [](const std::string& p) { fs::remove(p); }, texts::kNotFirmware},
        {"truncated to nothing", [](const std::string& p) { fs::resize_file(p, 0); }, texts::kNotFirmware},
        {"truncated inside the header", [](const std::string& p) { fs::resize_file(p, 15); },
         texts::kNotFirmware},
        {"truncated before the file system", [](const std::string& p) { fs::resize_file(p, 0x40000); },
         texts::kNotSquashFs},
        {"replaced by a folder",
         [](const std::string& p) {
             fs::remove(p);
             fs::create_directory(p);
         },
         texts::kNotFirmware},
        {"replaced by a link loop",
         [](const std::string& p) {
             fs::remove(p);
             fs::create_symlink(p, p);
         },
         texts::kNotFirmware},
    };
    for (const Case& c : cases) {
        const std::string path = dir.image("fw.bin", 0x100000, {0x80000});
        c.change(path);
        expectRefused(run(inputs("fw.bin")), c.message, c.name);
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
}

TEST_F(ImageFaults, FilesChangedDuringTheSearchStopWithoutAResult) {
    // The change happens after the search has read its first chunk; the file system lies five chunks
    // further on, so the search reads on into the changed file.
    struct Case {
        const char* name;
        std::function<void(const std::string& path)> change;
    };
    const Case cases[] = {
        {"removed", [](const std::string& p) { fs::remove(p); }},
        {"truncated", [](const std::string& p) { fs::resize_file(p, 0x30000); }},
        {"grown", [](const std::string& p) { fs::resize_file(p, 0x200000); }},
        {"replaced by a folder",
         [](const std::string& p) {
             fs::remove(p);
             fs::create_directory(p);
         }},
    };
    for (const Case& c : cases) {
        const std::string path = dir.image("fw.bin", 0x100000, {0x80000});
        bool changed = false;
        int pumps = 0;
        const WorkflowOutcome outcome = run(inputs("fw.bin"), [&](const std::string& status) {
            if (status == texts::kValidatingSquashFs && ++pumps == 2) {
                changed = true;
                c.change(path);
            }
            return true;
        });
        ASSERT_TRUE(changed) << c.name;
        EXPECT_EQ(outcome, WorkflowOutcome::ValidationFailed) << c.name;
        ASSERT_EQ(host.messages.size(), 1u) << c.name;
        EXPECT_TRUE(host.messages[0] == texts::kFileChanged ||
                    host.messages[0].rfind(texts::kReadFailedPrefix, 0) == 0)
            << c.name << ": " << host.messages[0];
        EXPECT_FALSE(host.results) << c.name;
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
}

TEST_F(ImageFaults, FileChangedAfterValidationGetsNoPartitions) {
    for (const std::uintmax_t length :
         {std::uintmax_t{0}, std::uintmax_t{0xFFFFF}, std::uintmax_t{0x100001}}) {
        const std::string path = dir.image("fw.bin", 0x100000, {0x80000});
        const WorkflowOutcome outcome = run(inputs("fw.bin"), [&](const std::string& status) {
            if (status == texts::kValidationPassed)
                fs::resize_file(path, length);
            return true;
        });
        expectRefused(outcome, texts::kFileChanged, std::to_string(length));
        EXPECT_EQ(host.statuses.back(), texts::kCalculationFailed);
    }
}

TEST_F(ImageFaults, FileMadeUnreadableIsReportedAsSuch) {
    // Root reads anything, so the run happens as an ordinary user in a child process.
    fs::permissions(dir.path(), fs::perms::all);
    const std::string path = dir.image("fw.bin", 0x100000, {0x80000});
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0); // so that the child may take its rights away
    }
    const std::string expected = std::string(texts::kReadFailedPrefix) + std::strerror(EACCES);
    // Unreadable before the run, and made unreadable half way through the search.
    for (const bool during : {false, true}) {
        if (!during)
            fs::permissions(path, fs::perms::none);
        const int status = RunAsNobody([&] {
            if (::access(path.c_str(), R_OK) == 0 && !during)
                return 3; // permissions do not apply to this user
            int pumps = 0;
            const WorkflowOutcome outcome = run(inputs("fw.bin"), [&](const std::string& s) {
                if (during && s == texts::kValidatingSquashFs && ++pumps == 2)
                    ::chmod(path.c_str(), 0);
                return true;
            });
            if (outcome != WorkflowOutcome::ValidationFailed || host.results)
                return 1;
            return host.messages == std::vector<std::string>{expected} ? 0 : 2;
        });
        if (status == 3)
            GTEST_SKIP() << "permissions do not apply here";
        EXPECT_EQ(status, 0) << (during ? "during the search" : "before the run");
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    }
}

TEST_F(ImageFaults, ThingsThatAreNotFilesAreRefusedWithoutBeingOpened) {
    ASSERT_EQ(::mkfifo(dir.file("pipe.bin").c_str(), 0600), 0);
    fs::create_directory(dir.path() / "folder.bin");
    fs::create_symlink(dir.file("loop-b.bin"), dir.file("loop-a.bin"));
    fs::create_symlink(dir.file("loop-a.bin"), dir.file("loop-b.bin"));
    fs::create_symlink(dir.file("nowhere"), dir.file("dangling.bin"));
    struct Case {
        std::string folder;
        std::string name;
    };
    const Case cases[] = {{dir.path().string(), "pipe.bin"},
                          {dir.path().string(), "folder.bin"},
                          {dir.path().string(), "loop-a.bin"},
                          {dir.path().string(), "dangling.bin"},
                          {"/dev", "zero"},
                          {"/dev", "null"},
                          {"/dev", "urandom"}};
    for (const Case& c : cases) {
        const auto started = std::chrono::steady_clock::now();
        expectRefused(run(inputs(c.name, c.folder)), texts::kNotFirmware, c.name);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << c.name;
    }
}

TEST_F(ImageFaults, FilesBeyondTwoGibibytesAreRefusedWithoutASearch) {
    for (const std::uintmax_t length : {(2ULL << 30) + 1, 4ULL << 30, (4ULL << 30) + 0x10000}) {
        dir.sparseImage("huge.bin", length, 0x80000);
        int chunks = 0;
        const WorkflowOutcome outcome = run(inputs("huge.bin"), [&](const std::string& status) {
            chunks += status == texts::kValidatingSquashFs;
            return true;
        });
        expectRefused(outcome, texts::kTooLargeToSearch, std::to_string(length));
        EXPECT_LE(chunks, 1) << "the search must not read a file this large";
    }
}

TEST_F(ImageFaults, PathsThatAreNotUtf8AreCalculatedLikeAnyOther) {
    const std::string name = "fw-\xFF\xFE-\xC3(.bin";
    const std::string sub = dir.path().string() + "/\xE9t\xE9";
    fs::create_directory(sub);
    fs::copy_file(dir.image("plain.bin", 0x100000, {0x80000}), sub + "/" + name);
    ASSERT_EQ(run(inputs("plain.bin")), WorkflowOutcome::Completed);
    const std::string expected = *host.results;
    ASSERT_EQ(run(inputs(name, sub)), WorkflowOutcome::Completed)
        << (host.messages.empty() ? "" : host.messages[0]);
    EXPECT_EQ(*host.results, expected);

    // flintor-calc names the file in its JSON output; the bytes there become U+FFFD.
    std::ostringstream out, err;
    EXPECT_EQ(
        cli::RunFlintorCalc({"--flash", "4MB", "--bootloader", "psp", "--json", sub + "/" + name}, out, err),
        cli::kExitSuccess);
    EXPECT_NE(out.str().find("fw-\xEF\xBF\xBD\xEF\xBF\xBD-\xEF\xBF\xBD(.bin"), std::string::npos)
        << out.str();
}

TEST_F(ImageFaults, StoppingTheSearchLeavesThePreviousResult) {
    dir.image("first.bin", 0x100000, {0x80000});
    ASSERT_EQ(run(inputs("first.bin")), WorkflowOutcome::Completed);
    const std::string previous = workflow.state().ResultText;
    dir.image("long.bin", 0x1000000, {});
    int chunks = 0;
    const WorkflowOutcome outcome = run(inputs("long.bin"), [&](const std::string& status) {
        return !(status == texts::kValidatingSquashFs && ++chunks == 3);
    });
    EXPECT_EQ(outcome, WorkflowOutcome::Cancelled);
    EXPECT_EQ(chunks, 3);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(host.results);
    EXPECT_EQ(workflow.state().ResultText, previous);
    EXPECT_FALSE(workflow.running());
}

TEST(FirmwareUntouched, FlintorCalcLeavesBytesAndTimeAsTheyWere) {
    TempDir dir;
    const std::string path = dir.image("fw.bin", 0x300000, {0x80000});
    // An old time, so that a write within the same clock tick would still show.
    const timespec times[2] = {{1'000'000'000, 123'456'789}, {1'000'000'000, 123'456'789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    const FileSnapshot before = Snapshot(path);
    for (const char* output : {"standard", "pctool", "ftp", "telnet"}) {
        const auto result =
            test::RunProcess(FLINTOR_CALC_BINARY, {"--flash", "8MB", "--bootloader", "psp", "--mtd5", "max",
                                                   "--output", output, "--include-filename", path});
        EXPECT_EQ(result.exitStatus, 0) << result.err;
        ExpectSoundAddresses(result.out);
    }
    EXPECT_TRUE(Snapshot(path) == before);
}

TEST(FirmwareUntouched, FlintorCalcOnAFifoOrADeviceDoesNotHang) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("pipe.bin").c_str(), 0600), 0);
    for (const std::string& path :
         {dir.file("pipe.bin"), std::string("/dev/zero"), std::string("/dev/null")}) {
        const auto result =
            test::RunProcess(FLINTOR_CALC_BINARY, {"--flash", "4MB", "--bootloader", "psp", path}, {},
                             std::chrono::seconds(10));
        EXPECT_FALSE(result.timedOut) << path;
        EXPECT_EQ(result.exitStatus, cli::kExitRejected) << path;
        EXPECT_EQ(result.out, "") << path;
        EXPECT_NE(result.err.find(texts::kNotFirmware), std::string::npos) << path << ": " << result.err;
    }
}

} // namespace
} // namespace flintor::faults
