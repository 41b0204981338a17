// The router workflow end to end against the simulated boot loader on 127.0.0.1, with short times.

#include "RouterSession.h"

#include "LoopbackOnly.h"
#include "RouterEnvironment.h"
#include "RouterSimulator.h"

#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace flintor {
namespace {

using std::chrono::milliseconds;

const std::string kCaptures = FLINTOR_SAMPLES_DIR "/captures/";

RouterSessionOptions Quick(milliseconds replyTimeout = milliseconds(2000),
                           milliseconds wait = milliseconds(3000)) {
    RouterSessionOptions options;
    options.password = "s3cret-Word";
    options.connection.wait = wait;
    options.connection.retryInterval = milliseconds(10);
    options.connection.replyTimeout = replyTimeout;
    options.connection.loopbackOnly = true;
    return options;
}

SimulatorSettings Simulated(bool adam2 = true, SimulatorFaults faults = {}) {
    SimulatorSettings settings;
    settings.adam2 = adam2;
    settings.environment = SampleEnvironment(adam2);
    settings.password = "s3cret-Word";
    settings.faults = faults;
    return settings;
}

std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct ScratchFolder {
    ScratchFolder() {
        path = std::filesystem::temp_directory_path() /
               ("flintor-router-test-" +
                std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        std::filesystem::create_directories(path);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::filesystem::path path;
};

TEST(RouterSession, ReadsWhatTheRouterHoldsIntoCaptureAndRecord) {
    const struct {
        bool adam2;
        bool continuation;
        const char* sample;
        const char* recordHost; // the host the record names; some would read as values or markers
    } cases[] = {
        {true, false, "adam2-ftp-getenv.txt", "127.0.0.1"},
        {false, true, "psp-printenv.txt", "adam2_box"},
        {false, false, "psp-printenv.txt", "mtd1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sample);
        SimulatorSettings settings = Simulated(c.adam2);
        settings.continuationValues = c.continuation;
        RouterSimulator simulator(settings);
        RouterSession session(simulator.address(), Quick());
        const RouterReadResult result = session.read();
        ASSERT_TRUE(result.reading) << result.message;

        const auto sample = ReadRouterEnvironmentFile(kCaptures + c.sample);
        ASSERT_TRUE(sample.environment);
        const auto capture = ReadRouterEnvironment(CaptureText(*result.reading));
        const auto record = ReadRouterEnvironment(
            RecordText(*result.reading, RouterAddress{c.recordHost, 21}, std::chrono::system_clock::now()));
        for (const auto* reading : {&capture, &record}) {
            ASSERT_TRUE(reading->environment) << reading->error;
            EXPECT_EQ(reading->environment->partitions, sample.environment->partitions);
            EXPECT_EQ(reading->environment->flashSize, sample.environment->flashSize);
            // The greeting names the boot loader.
            EXPECT_EQ(reading->environment->markedAdam2, c.adam2);
            EXPECT_TRUE(reading->environment->notes.empty());
            EXPECT_TRUE(reading->environment->unreadable.empty());
        }
        EXPECT_EQ(result.reading->values[5], (RouterValue{"mtd5", std::nullopt}));
        const std::string& transcript = session.transcript();
        EXPECT_NE(transcript.find("> PASS ****\n"), std::string::npos);
        EXPECT_NE(transcript.find("> GETENV flashsize\n"), std::string::npos);
        EXPECT_EQ(transcript.find("s3cret-Word"), std::string::npos);
    }
}

TEST(RouterSession, CaptureReadsAsExactlyTheValuesTheRouterGave) {
    // Words in a value or the greeting that would read as other variables or boot loader names.
    RouterReading reading;
    reading.banner = "220-mtd3 0x90000000,0x90010000 flashsize 0x800000\n220 ADAM2 ready";
    reading.values = {{"mtd0", " 0x90020000 , 0x903f0000"},
                      {"mtd1", "0x90020000,0x903f0000 MTD1 0x5,0x6 mtd0x PSPBoot (psbl) xadam2_"},
                      {"mtd2", std::nullopt},
                      {"flashsize", "0x00400000 flashsize=0x00200000 mtd4=0x1,0x2"}};
    const auto capture = ReadRouterEnvironment(CaptureText(reading));
    ASSERT_TRUE(capture.environment) << capture.error;
    EXPECT_EQ(capture.environment->partitions, (std::vector<PartitionBounds>{{0, 0x90020000u, 0x903F0000u}}));
    ASSERT_EQ(capture.environment->unreadable.size(), 1u);
    EXPECT_EQ(capture.environment->unreadable[0].number, 1);
    EXPECT_EQ(capture.environment->flashSize, 0x200000u);
    EXPECT_EQ(capture.environment->markedAdam2, true);
}

TEST(RouterSession, RepairsOnTheSameConnectionAndReadsEachPartitionBack) {
    RouterSimulator simulator(Simulated(false));
    RouterSession session(simulator.address(), Quick());
    ASSERT_TRUE(session.read().reading);
    const std::vector<PartitionBounds> repair = {{0, 0x90022000u, 0x903F0000u},
                                                 {5, 0x903F0000u, 0x90400000u}};
    std::vector<std::string> notes;
    const ApplyResult applied = session.apply(
        repair, nullptr, [&notes](const RouterProgress& progress) { notes.push_back(progress.text); });
    EXPECT_TRUE(applied.ok) << applied.message;
    ASSERT_EQ(applied.writes.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(applied.writes[i].ok);
        EXPECT_EQ(applied.writes[i].readBack, repair[i]);
        EXPECT_EQ(applied.writes[i].reply, "200 SETENV command successful");
    }
    EXPECT_EQ(applied.writes[1].sent, "SETENV mtd5,0x903F0000,0x90400000");
    EXPECT_EQ(simulator.value("mtd5"), "0x903F0000,0x90400000");
    EXPECT_EQ(notes, (std::vector<std::string>{
                         "sent SETENV mtd0,0x90022000,0x903F0000: 200 SETENV command successful",
                         "read back mtd0: 0x90022000, 0x903F0000 (as calculated)",
                         "sent SETENV mtd5,0x903F0000,0x90400000: 200 SETENV command successful",
                         "read back mtd5: 0x903F0000, 0x90400000 (as calculated)"}));
    const std::vector<std::string> expected = {"USER adam2",       "PASS s3cret-Word",
                                               "GETENV mtd0",      "GETENV mtd1",
                                               "GETENV mtd2",      "GETENV mtd3",
                                               "GETENV mtd4",      "GETENV mtd5",
                                               "GETENV flashsize", "SETENV mtd0,0x90022000,0x903F0000",
                                               "GETENV mtd0",      "SETENV mtd5,0x903F0000,0x90400000",
                                               "GETENV mtd5"};
    EXPECT_EQ(simulator.commands(), expected);
    EXPECT_THROW(session.apply({{1, 0, 1}, {0, 0, 1}}), std::invalid_argument);
    EXPECT_THROW(session.apply({{3, 0x903F0000u, 0x90400000u}}), std::invalid_argument);
}

TEST(RouterSession, RepairTakesThePartitionsThatDifferOrAreMissing) {
    RouterComparison comparison;
    comparison.blocks.resize(2);
    comparison.matched = 1;
    const PartitionBounds a{0, 0x90020000u, 0x903F0000u};
    const PartitionBounds b{1, 0x90010000u, 0x90020000u};
    comparison.blocks[0].partitions = {{0, a, b, PartitionStatus::Differs}};
    comparison.blocks[1].partitions = {
        {0, a, a, PartitionStatus::Same},
        {1, a, PartitionBounds{1, 2, 3}, PartitionStatus::Differs},
        {3, std::nullopt, PartitionBounds{3, 4, 5}, PartitionStatus::Missing},
        {4, a, std::nullopt, PartitionStatus::Extra},
        {5, std::nullopt, PartitionBounds{5, 6, 7}, PartitionStatus::Unreadable}};
    // The configuration block (mtd3) is never part of a repair.
    EXPECT_EQ(RepairPartitions(comparison), (std::vector<PartitionBounds>{{1, 2, 3}, {5, 6, 7}}));
}

TEST(RouterSession, ReadFaultsEndTheSessionWithWhatHappened) {
    const struct {
        const char* name;
        SimulatorFaults faults;
        milliseconds replyTimeout;
        bool afterWindow; // start only once the power-on window has closed
        FailureKind failure;
    } cases[] = {
        {"late start", {.lateStart = milliseconds(150)}, milliseconds(2000), false, FailureKind::None},
        {"window caught", {.powerOnWindow = milliseconds(300)}, milliseconds(2000), false, FailureKind::None},
        {"window missed",
         {.powerOnWindow = milliseconds(30)},
         milliseconds(2000),
         true,
         FailureKind::NoAnswer},
        {"refused login", {.refuseLogin = true}, milliseconds(2000), false, FailureKind::LoginRefused},
        {"slow but in time", {.replyDelay = milliseconds(20)}, milliseconds(2000), false, FailureKind::None},
        {"too slow", {.replyDelay = milliseconds(400)}, milliseconds(100), false, FailureKind::Timeout},
        {"silence", {.silence = true}, milliseconds(100), false, FailureKind::Timeout},
        {"flood", {.flood = true}, milliseconds(2000), false, FailureKind::LineTooLong},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RouterSimulator simulator(Simulated(true, c.faults));
        if (c.afterWindow) {
            EXPECT_TRUE(simulator.waitForWindowEnd());
        }
        RouterSession session(simulator.address(),
                              Quick(c.replyTimeout, milliseconds(c.afterWindow ? 200 : 3000)));
        const RouterReadResult result = session.read();
        EXPECT_EQ(result.failure, c.failure) << result.message;
        EXPECT_EQ(result.reading.has_value(), c.failure == FailureKind::None);
        if (c.failure != FailureKind::None) {
            EXPECT_NE(result.message.find(simulator.address().text()), std::string::npos) << result.message;
        }
        if (c.faults.powerOnWindow.count() > 0 && !c.afterWindow) {
            // Logged in within the window: the server stays.
            EXPECT_FALSE(simulator.waitForWindowEnd());
            EXPECT_TRUE(RouterSession(simulator.address(), Quick()).read().reading);
        }
    }
}

TEST(RouterSession, WriteFaultsStopTheRepairAtTheFirstPartition) {
    const PartitionBounds old{0, 0x90020000u, 0x903F0000u};
    const struct {
        const char* name;
        SimulatorFaults faults;
        const char* reply;
        std::optional<PartitionBounds> readBack;
        FailureKind failure;
        const char* message;
    } cases[] = {
        {"refused write",
         {.refuseWrites = true},
         "501 SETENV failed",
         old,
         FailureKind::None,
         "refused SETENV mtd0"},
        {"forgotten write",
         {.forgetWrites = true},
         "200 SETENV command successful",
         old,
         FailureKind::None,
         "mtd0 reads back as 0x90020000, 0x903F0000 instead of the calculated 0x90030000, 0x903F0000"},
        {"dropped line",
         {.dropAfterWrite = true},
         "",
         std::nullopt,
         FailureKind::Closed,
         "closed the connection"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RouterSimulator simulator(Simulated(true, c.faults));
        RouterSession session(simulator.address(), Quick());
        ASSERT_TRUE(session.read().reading);
        const ApplyResult applied =
            session.apply({{0, 0x90030000u, 0x903F0000u}, {1, 0x90010000u, 0x90030000u}});
        EXPECT_FALSE(applied.ok);
        ASSERT_EQ(applied.writes.size(), 1u);
        EXPECT_FALSE(applied.writes[0].ok);
        EXPECT_EQ(applied.writes[0].reply, c.reply);
        EXPECT_EQ(applied.writes[0].readBack, c.readBack);
        EXPECT_EQ(applied.failure, c.failure);
        EXPECT_NE(applied.message.find(c.message), std::string::npos) << applied.message;
        for (const auto& command : simulator.commands()) {
            EXPECT_NE(command.rfind("SETENV mtd1", 0), 0u) << "written after a failure";
        }
    }
}

TEST(RouterSession, AReadBackIsExactlyTheTwoNumbersSent) {
    const struct {
        const char* stored; // what the router holds after the SETENV
        bool ok;
    } cases[] = {
        {"0x90030000,0x903F0000", true},
        {"0X090030000 , 0x903f0000", true},
        {"90030000,903F0000", true},
        {"0x90030000,0x903F0000,0x90000000", false},
        {"0x90030000,0x903F0000 mtd0", false},
        {"0x90030000,0x903F0000\"", false},
        {"0x90030000,0x903F\xff"
         "0000",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        RouterSimulator simulator(Simulated(true, {.forgetWrites = true}));
        simulator.setValue("mtd0", c.stored);
        RouterSession session(simulator.address(), Quick());
        ASSERT_TRUE(session.read().reading);
        const ApplyResult applied = session.apply({{0, 0x90030000u, 0x903F0000u}});
        EXPECT_EQ(applied.ok, c.ok) << applied.message;
        EXPECT_EQ(applied.writes.at(0).readBackValue, c.stored);
    }
}

TEST(RouterSession, WritesAfterAFreshReadOnlyWhenNothingChanged) {
    RouterSimulator simulator(Simulated(true));
    const RouterReadResult first = RouterSession(simulator.address(), Quick()).read();
    ASSERT_TRUE(first.reading);
    const std::vector<PartitionBounds> repair = {{1, 0x90010090u, 0x90020000u}};

    simulator.setValue("mtd0", "0x90020000,0x90400000");
    RouterSession changed(simulator.address(), Quick());
    ASSERT_TRUE(changed.read().reading);
    const ApplyResult refused = changed.apply(repair, &*first.reading);
    EXPECT_TRUE(refused.changedSinceRead);
    EXPECT_TRUE(refused.writes.empty());
    EXPECT_EQ(simulator.value("mtd1"), "0x90010000,0x90020000");

    RouterSession unchanged(simulator.address(), Quick());
    const RouterReadResult again = unchanged.read();
    ASSERT_TRUE(again.reading);
    EXPECT_TRUE(unchanged.apply(repair, &*again.reading).ok);
    EXPECT_EQ(simulator.value("mtd1"), "0x90010090,0x90020000");
}

TEST(RouterSession, CancelEndsWaitsAtOnceAndStopFinishesThePartitionInHand) {
    const struct {
        const char* name;
        SimulatorFaults faults;
        RouterProgress::Stage cancelAt;
        bool stopAfterCurrent;
    } cases[] = {
        {"waiting", {.lateStart = milliseconds(60'000)}, RouterProgress::Stage::Waiting, false},
        {"stop while waiting", {.lateStart = milliseconds(60'000)}, RouterProgress::Stage::Waiting, true},
        {"reading", {.silence = true}, RouterProgress::Stage::LoggedIn, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RouterSimulator simulator(Simulated(true, c.faults));
        RouterSession session(simulator.address(), Quick(milliseconds(60'000), milliseconds(60'000)));
        std::promise<void> reached;
        std::once_flag once;
        std::thread canceller([&] {
            reached.get_future().wait();
            c.stopAfterCurrent ? session.stopAfterCurrent() : session.cancel();
        });
        const auto start = std::chrono::steady_clock::now();
        const RouterReadResult result = session.read([&](const RouterProgress& progress) {
            if (progress.stage == c.cancelAt) {
                std::call_once(once, [&] { reached.set_value(); });
            }
        });
        canceller.join();
        EXPECT_EQ(result.failure, FailureKind::Cancelled) << result.message;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }

    // During writes the partition in hand is written and read back, and no other is begun.
    RouterSimulator simulator(Simulated(true));
    RouterSession session(simulator.address(), Quick());
    ASSERT_TRUE(session.read().reading);
    const ApplyResult applied = session.apply({{0, 0x90030000u, 0x903F0000u}, {1, 0x90010000u, 0x90030000u}},
                                              nullptr, [&session](const RouterProgress& progress) {
                                                  if (progress.stage == RouterProgress::Stage::Writing) {
                                                      session.stopAfterCurrent();
                                                  }
                                              });
    EXPECT_TRUE(applied.stoppedOnRequest);
    ASSERT_EQ(applied.writes.size(), 1u);
    EXPECT_TRUE(applied.writes[0].ok);
    EXPECT_EQ(simulator.value("mtd1"), "0x90010000,0x90020000");
}

// Other addresses are refused by the guard in tests/router/LoopbackGuardTest.cpp, run in an empty network.
TEST(RouterSession, LocalhostIsResolvedToItsLoopbackAddresses) {
    ASSERT_TRUE(test::kLoopbackOnly);
    RouterSimulator simulator(Simulated(true));
    EXPECT_TRUE(RouterSession(RouterAddress{"localhost", simulator.port()}, Quick()).read().reading);
}

TEST(RouterSession, RecordsGoToNewFilesOnly) {
    ScratchFolder folder;
    const std::string text = "# record\r\nmtd0              0x90020000,0x903f0000\r\n";
    const std::string path = (folder.path / "record.txt").string();
    EXPECT_EQ(RecordPathProblem(path), "");
    EXPECT_EQ(WriteRecordFile(path, text).path, path);
    EXPECT_EQ(FileText(path), text);
    EXPECT_NE(RecordPathProblem(path), "");
    const RecordWriting again = WriteRecordFile(path, "other");
    EXPECT_EQ(again.path, "");
    EXPECT_NE(again.error.find("exists already"), std::string::npos);
    EXPECT_EQ(FileText(path), text);

    const auto when = std::chrono::system_clock::now();
    const std::string name = RecordFileName(when);
    EXPECT_EQ(name.size(), std::string("flintor-router-YYYYMMDD-HHMMSS.txt").size());
    const std::string stem = (folder.path / name.substr(0, name.size() - 4)).string();
    for (const std::string& expected : {stem + ".txt", stem + "-2.txt", stem + "-3.txt"}) {
        const RecordWriting written = WriteNewRecordFile(folder.path.string(), text, when);
        EXPECT_EQ(std::filesystem::path(written.path), std::filesystem::path(expected)) << written.error;
        EXPECT_EQ(FileText(expected), text);
    }
    const RecordWriting nowhere = WriteNewRecordFile((folder.path / "missing").string(), text, when);
    EXPECT_EQ(nowhere.path, "");
    EXPECT_NE(nowhere.error.find("could not be created"), std::string::npos);
}

} // namespace
} // namespace flintor
