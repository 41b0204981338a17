#include "RouterEnvironment.h"

#include "AsciiText.h"
#include "OutputFormat.h"
#include "RouterComparison.h"
#include "TestFiles.h"
#include "Texts.h"

#include <fstream>
#include <gtest/gtest.h>

namespace flintor {
namespace {

const std::string kCaptures = FLINTOR_SAMPLES_DIR "/captures/";

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (auto pos = text.find(from); pos != std::string::npos; pos = text.find(from, pos + to.size())) {
        text.replace(pos, from.size(), to);
    }
    return text;
}

TEST(RouterEnvironment, ReadsOurCapturesWhateverTheirLineEnds) {
    const struct {
        const char* file;
        std::optional<bool> markedAdam2;
        std::uint32_t flashSize;
        std::vector<const char*> notes; // a part of each note, in order
    } cases[] = {
        {"psp-printenv.txt", false, 0x400000, {}},
        {"adam2-ftp-getenv.txt", true, 0x400000, {}},
        {"psp-proc-ticfg-env.txt", std::nullopt, 0x800000, {}},
        // A swapped mtd4, a duplicated mtd0 and a truncated mtd1 line, which is mtd1's unreadable value;
        // the comparisons below show the values read.
        {"adam2-printenv-corrupted.txt",
         true,
         0x400000,
         {"mtd0 is set again on line 14 (0x90091000, 0x903F0000), differently from line 11 (0x90013010, "
          "0x903F0000); the later value is used."}},
    };
    for (const auto& c : cases) {
        const std::string text = Replaced(FileText(kCaptures + c.file), "\r\n", "\n");
        const auto lf = ReadRouterEnvironment(text);
        ASSERT_TRUE(lf.environment) << c.file;
        for (const char* lineEnd : {"\n", "\r\n", "\r"}) {
            SCOPED_TRACE(std::string(c.file) + (lineEnd[0] == '\n' ? " LF" : lineEnd[1] ? " CR LF" : " CR"));
            const auto reading = ReadRouterEnvironment(Replaced(text, "\n", lineEnd));
            ASSERT_TRUE(reading.environment) << reading.error;
            EXPECT_EQ(reading.environment->partitions, lf.environment->partitions);
            EXPECT_EQ(reading.environment->unreadable, lf.environment->unreadable);
            EXPECT_EQ(reading.environment->markedAdam2, c.markedAdam2);
            EXPECT_EQ(reading.environment->flashSize, c.flashSize);
            ASSERT_EQ(reading.environment->notes.size(), c.notes.size());
            for (std::size_t i = 0; i < c.notes.size(); ++i) {
                EXPECT_NE(reading.environment->notes[i].find(c.notes[i]), std::string::npos);
            }
        }
    }
}

TEST(RouterEnvironment, ReadsFlintorsOwnOutputInEveryForm) {
    const MtdLayout psp = BuildLayout(false, 0x80000, 0x1000000, 0x10000, 0x200000);
    const MtdLayout adam2 = BuildLayout(true, 0x71000, 0x800000, 0, 0x100000);
    const std::string adam2Result =
        ResultTextOf(adam2) + "\r\n" + std::string(67, '-') + "\r\n" + texts::kAdam2Note;
    for (int form = 0; form <= 3; ++form) {
        SCOPED_TRACE(form);
        const auto pspReading =
            ReadRouterEnvironment(FormatOutput(ResultTextOf(psp), form, true, "flr-4.1.bin"));
        ASSERT_TRUE(pspReading.environment);
        EXPECT_EQ(pspReading.environment->partitions, psp.blocks[0].partitions);
        EXPECT_TRUE(pspReading.environment->notes.empty());
        // The last of the three blocks wins; the Telnet path's "adam2" names no boot loader.
        const auto adam2Reading = ReadRouterEnvironment(FormatOutput(adam2Result, form, false, ""));
        ASSERT_TRUE(adam2Reading.environment);
        EXPECT_EQ(adam2Reading.environment->partitions, adam2.blocks.back().partitions);
        EXPECT_FALSE(adam2Reading.environment->markedAdam2);
        // mtd0 and mtd1 change twice; the closing note names both without ranges.
        EXPECT_EQ(adam2Reading.environment->notes.size(), 5u);
    }
}

TEST(RouterEnvironment, ReadsOnlyWholeWordsAndWholeNumbers) {
    const struct {
        const char* text; // a readable mtd2 line follows
        std::optional<PartitionBounds> mtd0;
        const char* note;                 // a part of the only note, or none
        const char* unreadable = nullptr; // mtd0's unreadable value, or none
    } cases[] = {
        {"MTD0=0X90091000 , 0x903f0000", PartitionBounds{0, 0x90091000, 0x903F0000}, nullptr},
        {"setenv mtd0 90091000,903F0000", PartitionBounds{0, 0x90091000, 0x903F0000}, nullptr},
        {"SEND \"echo \\\"mtd0 0x000090091000,0x903F0000\\\" >/proc/ticfg/env\\n\"",
         PartitionBounds{0, 0x90091000, 0x903F0000}, nullptr},
        {"xmtd0 0x1,0x2 mtd12 0x1,0x2 mtd0_a 0x1,0x2 mtd6 0x1,0x2", std::nullopt, nullptr},
        {"mtdblock3: 0x1,0x2 flashsizes 0x1", std::nullopt, nullptr},
        {"mtd0 0x123456789,0x2", std::nullopt, nullptr, "0x123456789,0x2"},
        {"mtd0 0x1,0x2g", std::nullopt, nullptr, "0x1,0x2g"},
        {"mtd0 -0x1,0x2", std::nullopt, nullptr, "-0x1,0x2"},
        {"mtd0 0x1,0x2,0x3 ", std::nullopt, nullptr, "0x1,0x2,0x3"},
        {"mtd0 0x1,0x90\xff"
         "0000",
         std::nullopt, nullptr,
         "0x1,0x90\xff"
         "0000"},
        {"mtd0 0x1,0x90\x1b"
         "0000",
         std::nullopt, nullptr,
         "0x1,0x90\x1b"
         "0000"},
        {"mtd0 0x1,0x90\\xff0000", std::nullopt, nullptr, "0x1,0x90\\xff0000"},
        {"0x00090000-0x003f0000 : \"mtd0\"", std::nullopt, "Line 1 names mtd0 but", nullptr},
        {"mtd0: 00360000 00010000 \"mtd0\" mtd1", std::nullopt, "Line 1 names mtd1 but",
         "00360000 00010000 \"mtd0\" mtd1"},
        {"mtd0 0x1,0x2\nmtd0 0x1,0x2", PartitionBounds{0, 1, 2}, nullptr},
        {"mtd0 0x1,0x2\nmtd0 0x3,0x4", PartitionBounds{0, 3, 4}, "is set again on line 2"},
        {"mtd0 0x1,0x2\nmtd0 0x1,", PartitionBounds{0, 1, 2}, "Line 2 names mtd0 but"},
        {"mtd0 0x1,\nmtd0 0x1,0x2 \"x\"", PartitionBounds{0, 1, 2}, "Line 1 names mtd0 but"},
        {"flashsize 4MB", std::nullopt, "Line 1 names flashsize but"},
        // Requests for variables ask for values rather than give damaged ones.
        {"ftp> quote GETENV mtd0", std::nullopt, nullptr},
        {"Adam2_AR7RD > printenv mtd0", std::nullopt, nullptr},
        {"(psbl) printenv mtd0 flashsize", std::nullopt, nullptr},
        {"getenv mtd0\r", std::nullopt, nullptr},
        {"printenv mtd0 0x1,", std::nullopt, nullptr, "0x1,"},
        {"unsetenv mtd0", std::nullopt, "Line 1 names mtd0 but"},
        {"flashsize=0x400000\r\nflashsize 0x800000", std::nullopt, "flashsize is set again on line 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto reading = ReadRouterEnvironment(std::string(c.text) + "\nmtd2 0x90000000,0x90010000");
        ASSERT_TRUE(reading.environment);
        const PartitionBounds* mtd0 = reading.environment->partition(0);
        EXPECT_EQ(mtd0 ? std::optional(*mtd0) : std::nullopt, c.mtd0);
        EXPECT_EQ(reading.environment->partitions.size(), c.mtd0 ? 2u : 1u);
        const UnreadableValue* unreadable = reading.environment->unreadableValue(0);
        EXPECT_EQ(unreadable ? std::optional(unreadable->text) : std::nullopt,
                  c.unreadable ? std::optional<std::string>(c.unreadable) : std::nullopt);
        ASSERT_EQ(reading.environment->notes.size(), c.note ? 1u : 0u);
        if (c.note) {
            EXPECT_NE(reading.environment->notes[0].find(c.note), std::string::npos)
                << reading.environment->notes[0];
        }
    }
    std::string damaged;
    for (int i = 0; i < 60; ++i) {
        damaged += "unsetenv mtd0\n";
    }
    const auto reading = ReadRouterEnvironment(damaged + "mtd2 0x90000000,0x90010000");
    ASSERT_EQ(reading.environment->notes.size(), 51u);
    EXPECT_EQ(reading.environment->notes.back(), "10 further notes like these are left out.");
}

TEST(RouterEnvironment, ReadsARoutersValueExactlyAndRecordsAnUnreadableOneAsSuch) {
    const std::optional<PartitionBounds> ok = PartitionBounds{0, 0x900B1000u, 0x90400000u};
    const struct {
        std::string value;
        std::optional<PartitionBounds> bounds;
    } cases[] = {
        {"0x900B1000,0x90400000", ok},
        {" 0X0900b1000 ,\t0x90400000 ", ok},
        {"900B1000,90400000", ok},
        {"0x900B1000,0x90400000,0x90000000", std::nullopt},
        {"0x1900B1000,0x90400000", std::nullopt},
        {"-0x900B1000,0x90400000", std::nullopt},
        {"=0x900B1000,0x90400000", std::nullopt},
        {"\"0x900B1000,0x90400000\"", std::nullopt},
        {"0x900B1000 0x90400000", std::nullopt},
        {"0x900B1000,0x90400000 (kernel)", std::nullopt},
        {"0x900B1000,0x9040\xff"
         "0000",
         std::nullopt},
        {std::string("0x900B1000,0x9040\0"
                     "0000",
                     21),
         std::nullopt},
        {"0x900B1000,0x9040\\xff0000", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Escaped(c.value));
        EXPECT_EQ(ParsePartitionValue(0, c.value), c.bounds);
        // The capture of a router's value reads as the router's reply did.
        const auto reading = ReadRouterEnvironment("mtd0  " + CaptureValueText(c.value), false);
        ASSERT_TRUE(reading.environment);
        const PartitionBounds* read = reading.environment->partition(0);
        EXPECT_EQ(read ? std::optional(*read) : std::nullopt, c.bounds);
        EXPECT_EQ(reading.environment->unreadableValue(0) != nullptr, !c.bounds);
    }
}

TEST(RouterEnvironment, InfersTheBootLoaderAndTheFlashSizeWithReasons) {
    const char* pspLayout =
        "mtd2 0x90000000,0x90010000\nmtd3 0x90010000,0x90020000\nmtd4 0x90020000,0x90200000\n";
    const struct {
        std::string text;
        std::optional<bool> chosenAdam2;
        std::optional<bool> adam2;
        std::optional<std::int64_t> flashSize;
        std::size_t notes; // of the reading and the inference
    } cases[] = {
        // Without mtd3 the name decides, and a note says so.
        {"(psbl) printenv\nmtd0 0x90020000,0x90800000\nmtd5 0x90800000,0x90810000", {}, false, 0x810000, 1},
        {"PSPBoot1.4\nmtd4 0x90020000,0x91000000", {}, false, 0x1000000, 1},
        {"adam2_ar7rd > printenv\nmtd3 0x90BF0000,0x90C00000", {}, true, 0xC00000, 0},
        {"ADAM2 Revision 0.22.06\nmtd3 0x903F0000,0x90400800", {}, true, std::nullopt, 1},
        {"Adam2 pspboot\nmtd3 0x90FF0000,0x91000000", {}, true, 0x1000000, 0},
        {std::string("ADAM2\n(psbl)\n") + pspLayout, {}, false, 0x200000, 1},
        {pspLayout, {}, false, 0x200000, 0},
        {"mtd2 0x90000000,0x90010000\nmtd3 0x90010000,0x90030000\nmtd0 0x90020000,0x90200000", {}, {}, {}, 0},
        {"mtd3 0x90010000,0x90020000", {}, false, {}, 0},
        {"mtd3 0x903F8000,0x90408000", {}, {}, {}, 0},
        {"mtd3 0x90010000,0x90020000", true, true, 0x20000, 1},
        {std::string("flashsize 0x400000\n") + pspLayout, {}, false, 0x400000, 1},
        {std::string("flashsize 0x0\n") + pspLayout, {}, false, 0x200000, 1},
        {std::string("flashsize 0x70000000\n") + pspLayout, {}, false, 0x200000, 1},
        {"flashsize 0x123\nmtd0 0x1,0x2", {}, {}, 0x123, 0},
        // The owner's choice is kept, and its layout rule gives the flash size.
        {"(psbl)\nmtd3 0x903F0000,0x90400000\nmtd0 0x90020000,0x90300000", true, true, 0x400000, 0},
        {"(psbl)\nmtd3 0x903F0000,0x90400000\nmtd0 0x90020000,0x90300000", false, false, 0x300000, 1},
        // Where the configuration block sits outranks a name in a greeting or prompt, either way.
        {"(psbl)\nmtd3 0x903F0000,0x90400000\nmtd0 0x90020000,0x90300000", {}, true, 0x400000, 1},
        {std::string("220 ADAM2 FTP Server ready.\n") + pspLayout, {}, false, 0x200000, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto reading = ReadRouterEnvironment(c.text);
        ASSERT_TRUE(reading.environment);
        const RouterSettings settings = InferRouterSettings(*reading.environment, c.chosenAdam2);
        EXPECT_EQ(settings.adam2, c.adam2) << settings.bootloaderReason;
        EXPECT_EQ(settings.flashSize, c.flashSize) << settings.flashSizeReason;
        EXPECT_FALSE(settings.bootloaderReason.empty());
        EXPECT_FALSE(settings.flashSizeReason.empty());
        EXPECT_EQ(reading.environment->notes.size() + settings.notes.size(), c.notes);
    }
    const auto greeted = ReadRouterEnvironment(std::string("220 ADAM2 FTP Server ready.\n") + pspLayout);
    EXPECT_EQ(
        InferRouterSettings(*greeted.environment).notes.at(0),
        "The capture names \"ADAM2\" on line 1, which points to Adam2, but the router's mtd3 (0x90010000, "
        "0x90020000) sits where PSP keeps its configuration block: PSP is used, since the boot loader "
        "itself put that block there.");
    const auto marked = ReadRouterEnvironment("x\n(psbl) printenv\nmtd0 0x90020000,0x90400000");
    EXPECT_EQ(InferRouterSettings(*marked.environment).bootloaderReason,
              "PSP: the capture names \"(psbl)\" on line 2.");
    EXPECT_EQ(InferRouterSettings(*marked.environment).flashSizeReason,
              "4 MiB (0x400000): mtd0 reaches the end of the flash at 0x90400000.");
}

TEST(RouterEnvironment, RefusesWhatIsNoCapture) {
    const std::string line = "mtd0 0x90020000,0x90400000\n";
    const std::string full = line + std::string(kLargestRouterCapture - line.size(), '#');
    const struct {
        std::string text;
        const char* error; // none: read
    } cases[] = {
        {full, nullptr},
        {full + "#", texts::kCaptureTooLarge},
        {"", texts::kCaptureNoValues},
        {"mtd0 0x90020000,", texts::kCaptureNoValues},
        {line + std::string(1, '\0'), texts::kCaptureNotText},
    };
    const test::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.size());
        const std::string path = dir.write("capture.txt", {c.text.begin(), c.text.end()});
        for (const auto& reading : {ReadRouterEnvironment(c.text), ReadRouterEnvironmentFile(path)}) {
            EXPECT_EQ(reading.environment.has_value(), c.error == nullptr);
            EXPECT_EQ(reading.error, c.error ? c.error : "");
        }
    }
    // What the boot loader itself gave may hold no value at all: a router that lost every one.
    const auto lost = ReadRouterEnvironment("220 ADAM2 FTP Server ready.\nflashsize 0x00400000\n", false);
    ASSERT_TRUE(lost.environment);
    EXPECT_TRUE(lost.environment->partitions.empty());
    EXPECT_EQ(lost.environment->markedAdam2, true);
    EXPECT_EQ(lost.environment->flashSize, 0x400000u);

    const std::string fifo = dir.file("fifo");
    ASSERT_TRUE(test::MakeBlockingNonFile(fifo));
    std::vector<std::string> paths = test::DevicePaths();
    paths.push_back(fifo);
    paths.push_back(dir.folder());
    for (const std::string& path : paths) {
        EXPECT_EQ(ReadRouterEnvironmentFile(path).error, texts::kCaptureNotRegularPrefix + path);
    }
    EXPECT_EQ(ReadRouterEnvironmentFile(dir.file("missing")).error,
              std::string(texts::kCaptureReadFailedPrefix) + "No such file or directory");
}

// The layouts of samples/psp-4mb.bin and samples/adam2-4mb.bin on 4 MiB.
const MtdLayout kPsp4 = BuildLayout(false, 0x2000, 0x400000, 0, 12288);
const MtdLayout kAdam24 = BuildLayout(true, 0x3010, 0x400000, 0, 16400);

RouterEnvironment Capture(const char* file) {
    return ReadRouterEnvironmentFile(kCaptures + file).environment.value();
}

// "1: 0same 1differs ...": the matched block and its statuses.
std::string Statuses(const RouterComparison& comparison) {
    std::string text = std::to_string(comparison.matched) + ":";
    for (const auto& p : comparison.blocks.at(comparison.matched).partitions) {
        text += ' ';
        text += std::to_string(p.number) + StatusName(p.status);
    }
    return text;
}

TEST(RouterComparison, FindsTheMatchingBlockAndWhatToRepair) {
    const struct {
        MtdLayout layout;
        const char* capture;
        std::optional<int> form;
        const char* statuses;
        bool allSame;
        const char* repair;
        const char* restore;
        const char* note; // the start of the only note, or none
    } cases[] = {
        {kPsp4, "psp-printenv.txt", std::nullopt, "0: 0differs 1same 2same 3same 4same", false,
         "mtd0: 0x90022000, 0x90400000", "mtd0: 0x900A0000, 0x90400000", nullptr},
        {kAdam24, "adam2-ftp-getenv.txt", 0, "1: 0same 1same 2same 3same 4same", true, "", "", nullptr},
        // Every block has mtd2 and mtd3 alone the same: the first block is taken.
        {kAdam24, "adam2-printenv-corrupted.txt", 1, "0: 0differs 1unreadable 2same 3same 4differs", false,
         "setenv mtd0 0x90013010,0x903F0000\r\nsetenv mtd1 0x90010090,0x90013010\r\n"
         "setenv mtd4 0x90010000,0x903F0000",
         "setenv mtd0 0x90091000,0x903F0000\r\nsetenv mtd4 0x903F0000,0x90010000", nullptr},
        {BuildLayout(false, 0x80000, 0x800000, 0x20000, 0x200000), "psp-proc-ticfg-env.txt", 7,
         "0: 0same 1same 2same 3same 4same 5same", true, "", "", nullptr},
        {BuildLayout(false, 0x80000, 0x7E0000, 0, 0x200000), "psp-proc-ticfg-env.txt", std::nullopt,
         "0: 0same 1same 2same 3same 4same 5extra", false, "", "",
         "mtd5 is set on the router (0x907E0000, 0x90800000) but has no place in the calculated "
         "layout; it is left as it is."},
        {BuildLayout(false, 0x80000, 0x800000, 0, 0x200000), "psp-proc-ticfg-env.txt", 2,
         "0: 0differs 1same 2same 3same 4differs 5extra", false,
         "quote SETENV mtd0,0x900A0000,0x90800000\r\nquote SETENV mtd4,0x90020000,0x90800000",
         "quote SETENV mtd0,0x900A0000,0x907E0000\r\nquote SETENV mtd4,0x90020000,0x907E0000",
         "mtd5 is set on the router"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.capture);
        const RouterComparison comparison = CompareWithRouter(c.layout, Capture(c.capture), c.form);
        ASSERT_EQ(comparison.blocks.size(), c.layout.blocks.size());
        EXPECT_EQ(Statuses(comparison), c.statuses);
        EXPECT_EQ(comparison.allSame(), c.allSame);
        EXPECT_EQ(comparison.repairText, c.repair);
        EXPECT_EQ(comparison.restoreText, c.restore);
        ASSERT_EQ(comparison.notes.size(), c.note ? 1u : 0u);
        if (c.note) {
            EXPECT_EQ(comparison.notes[0].rfind(c.note, 0), 0u) << comparison.notes[0];
        }
    }
    EXPECT_EQ(CompareWithRouter(kAdam24, Capture("adam2-ftp-getenv.txt"), 0).blocks[2].layout,
              "Separate images (max kernel size)");
    EXPECT_FALSE(CompareWithRouter(MtdLayout{}, Capture("psp-printenv.txt"), 0).allSame());
}

TEST(RouterComparison, NeverRepairsTheBootBlockOrConfigurationBlock) {
    const std::string mtd0 = "mtd0 0x90091000,0x903F0000\n";
    const char* repair =
        "mtd0: 0x90013010, 0x903F0000\r\nmtd1: 0x90010090, 0x90013010\r\nmtd4: 0x90010000, 0x903F0000";
    const std::string mtd2 = "mtd2 0x90000000,0x90010000\n";
    const struct {
        std::string capture; // compared with samples/adam2-4mb.bin's layout on 4 MiB
        int refused;         // the partition named, or -1
        const char* reason;
        const char* repair;
    } cases[] = {
        {mtd0 + mtd2 + "mtd3 0x903F0000,0x90400000", -1, "", repair},
        {mtd0 + mtd2 + "mtd3 0x90010000,0x90020000", 3,
         "the router's mtd3 (0x90010000, 0x90020000) differs from the calculated 0x903F0000, 0x90400000",
         repair},
        {mtd0 + "mtd3 0x903F0000,0x90400000", 2,
         "the router holds no mtd2, and the calculated one is 0x90000000, 0x90010000", repair},
        {mtd0 + mtd2 +
             "mtd3 0x903F0000,0x9040\xff"
             "0000",
         3,
         "the router's mtd3 is unreadable (\"0x903F0000,0x9040\\xff0000\"), and the calculated one is "
         "0x903F0000, 0x90400000",
         repair},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.capture);
        const RouterComparison comparison =
            CompareWithRouter(kAdam24, ReadRouterEnvironment(c.capture).environment.value(), 0);
        EXPECT_EQ(comparison.repairText, c.repair);
        EXPECT_EQ(comparison.refusal ? comparison.refusal->number : -1, c.refused);
        EXPECT_EQ(comparison.refusal ? comparison.refusal->reason : "", c.reason);
        EXPECT_EQ(comparison.repairNote.empty(), c.refused < 0);
    }
}

TEST(RouterComparison, UnreadableValuesAreRepairedAndShownAsReadInTheRestore) {
    const auto environment =
        ReadRouterEnvironment("mtd0 0x9002\x01"
                              "0000,0x903f0000\nmtd1 0x90010090,0x90013010,"
                              "0x1\nmtd2 0x90000000,0x90010000\nmtd3 0x903F0000,0x90400000")
            .environment.value();
    const RouterComparison comparison = CompareWithRouter(kAdam24, environment, 1);
    EXPECT_EQ(Statuses(comparison), "0: 0unreadable 1unreadable 2same 3same 4missing");
    EXPECT_EQ(comparison.repairText,
              "setenv mtd0 0x90013010,0x903F0000\r\nsetenv mtd1 0x90010090,0x90013010\r\n"
              "setenv mtd4 0x90010000,0x903F0000");
    EXPECT_EQ(comparison.restoreText, "");
    EXPECT_EQ(
        comparison.restoreUnreadable,
        (std::vector<std::string>{
            "mtd0 held \"0x9002\\x010000,0x903f0000\", which is no address range: it cannot be typed back "
            "exactly.",
            "mtd1 held \"0x90010090,0x90013010,0x1\", which is no address range: it cannot be typed back "
            "exactly."}));
}

TEST(RouterComparison, TelnetRepairsWriteWhereTheBootLoaderKeepsItsEnvironment) {
    const std::string psp = CompareWithRouter(kPsp4, Capture("psp-printenv.txt"), 3).repairText;
    EXPECT_EQ(psp, "SEND \"echo \\\"mtd0 0x90022000,0x90400000\\\" >/proc/ticfg/env\\n\"");
    const RouterComparison adam2 = CompareWithRouter(kAdam24, Capture("adam2-printenv-corrupted.txt"), 3);
    const std::string note = "\r\nNOTE: If the above script(s) do not work, you may need to replace\r\n"
                             "\"/proc/sys/dev/adam2/environment\" with \"/proc/ticfg/env\"";
    EXPECT_EQ(
        adam2.repairText.rfind(
            "SEND \"echo \\\"mtd0 0x90013010,0x903F0000\\\" >/proc/sys/dev/adam2/environment\\n\"\r\n", 0),
        0u);
    EXPECT_EQ(adam2.restoreText,
              "SEND \"echo \\\"mtd0 0x90091000,0x903F0000\\\" >/proc/sys/dev/adam2/environment\\n\"\r\n"
              "SEND \"echo \\\"mtd4 0x903F0000,0x90010000\\\" >/proc/sys/dev/adam2/environment\\n\"" +
                  note);
    EXPECT_TRUE(adam2.repairText.ends_with("0x903F0000\\\" >/proc/sys/dev/adam2/environment\\n\"" + note));
}

} // namespace
} // namespace flintor
