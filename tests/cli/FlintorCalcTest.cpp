#include "Cksum.h"
#include "CommandOutput.h"
#include "ImageChecks.h"
#include "RunProcess.h"
#include "TestFiles.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace flintor {
namespace {

using test::ProcessResult;
using test::TempDir;

bool StartsWith(const std::string& text, const std::string& head) {
    return text.rfind(head, 0) == 0;
}

class FlintorCalcTest : public ::testing::Test {
protected:
    TempDir dir;

    ProcessResult calc(const std::vector<std::string>& args, const std::string& cwd = {}) {
        return test::RunProcess(FLINTOR_CALC_BINARY, args, cwd);
    }

    // A 0x300000-byte combined image with its file system at 0x80000.
    std::string image(std::size_t length = 0x300000) {
        return dir.fileSystemImage("fw.bin", length, 0x80000);
    }
};

const char* const kPsp4MbOutput = "mtd0: 0x900A0000, 0x90400000\n"
                                  "mtd1: 0x90020090, 0x900A0000\n"
                                  "mtd2: 0x90000000, 0x90010000\n"
                                  "mtd3: 0x90010000, 0x90020000\n"
                                  "mtd4: 0x90020000, 0x90400000\n";

// LF ends the lines on Linux; on Windows the console's CR LF does (RunProcess gives both as LF in out).
TEST_F(FlintorCalcTest, PrintsTheResultsBoxWithTheSystemsLineEnds) {
    const ProcessResult r = calc({"--flash", "4MB", "--bootloader", "psp", image()});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, kPsp4MbOutput);
    EXPECT_EQ(r.err, "");
#ifdef _WIN32
    std::string crLf;
    for (const char c : std::string(kPsp4MbOutput)) {
        crLf += c == '\n' ? "\r\n" : std::string(1, c);
    }
    EXPECT_EQ(r.rawOut, crLf);
#endif
}

// Names outside ASCII reach the file and come back unchanged; on Windows either separator and a drive
// letter work, as the system's own programs take them.
TEST_F(FlintorCalcTest, PathsOfEveryFormReachTheImage) {
    const std::string name = "fw-\xC3\xA4\xE2\x82\xAC.bin"; // fw-ä€.bin
    std::filesystem::create_directory(test::PathOf(dir.file("\xC3\xBC")));
    dir.fileSystemImage("\xC3\xBC/" + name, 0x300000, 0x80000);
    const std::string full = dir.file("\xC3\xBC/" + name);
    std::vector<std::pair<std::vector<std::string>, std::string>> runs = {
        {{full}, ""}, {{"\xC3\xBC/" + name}, dir.folder()}, {{name}, dir.file("\xC3\xBC")}};
#ifdef _WIN32
    std::string backslashed = full;
    std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
    runs.push_back({{backslashed}, ""});
    // "C:fw.bin": the file in the drive's current folder.
    runs.push_back({{dir.folder().substr(0, 2) + name}, dir.file("\xC3\xBC")});
#endif
    for (const auto& [path, cwd] : runs) {
        std::vector<std::string> args = {"--flash", "4MB", "--bootloader", "psp", "--include-filename"};
        args.insert(args.end(), path.begin(), path.end());
        const ProcessResult r = calc(args, cwd);
        EXPECT_EQ(r.exitStatus, 0) << path[0] << "\n" << r.err;
        EXPECT_EQ(r.out, name + "\n" + kPsp4MbOutput) << path[0];
    }
}

TEST_F(FlintorCalcTest, RelativeImagePathAndFileNameLine) {
    image();
    const ProcessResult r = calc(
        {"--flash", "0x400000", "--bootloader", "psp", "--output", "pctool", "--include-filename", "fw.bin"},
        dir.folder());
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_TRUE(StartsWith(r.out, "fw.bin\nsetenv mtd0 0x900A0000,0x90400000\nsetenv mtd1 ")) << r.out;
}

TEST_F(FlintorCalcTest, MessagesGoToStandardErrorInTheWindowsOrder) {
    const ProcessResult r = calc({"--flash", "unknown", "--bootloader", "psp", "--mtd5", "max", image()});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.err, "flintor-calc: The maximum MTD5 size determined to be 896.00 KB\n"
                     "flintor-calc: Please ensure your router has more than 2MB Flash ROM before using the "
                     "selected file.\n");
    EXPECT_NE(r.out.find("mtd5: 0x90320000, 0x90400000\n"), std::string::npos);
}

TEST_F(FlintorCalcTest, ValidationFailuresExitWith1AndPrintNothing) {
    const std::string fw = image();
    const std::string kernel =
        dir.write("kernel.bin", {0x42, 0xFA, 0xED, 0xFE, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    test::MakeBlockingNonFile(dir.file("fifo"));
    const std::string huge = dir.sparseImage("huge.bin", 3ULL << 30, 0x80000);
    // Read as a 32-bit length this would be a 3 MiB image that fits.
    const std::string wraps = dir.sparseImage("wraps.bin", (1ULL << 32) + 0x300000, 0x80000);
    const std::string tooLargeToSearch =
        "File is too large to be a firmware file: only files of up to 32MB are searched for a SquashFS file "
        "system.";
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    std::vector<Case> cases = {
        {{"--flash", "4MB", "--bootloader", "psp"}, "Please select a suitable firmware image file."},
        {{"--flash", "4MB", "--bootloader", "psp", ""}, "Please select a suitable firmware image file."},
        {{"--bootloader", "psp", fw}, "Please select a memory size."},
        {{fw}, "Please select a memory size."},
        {{"--flash", "4MB", fw}, "Please select a bootloader type."},
        {{"--flash", "2MB", "--bootloader", "adam2", fw},
         "Warning! The firmware file you have selected is too large to fit on your router."},
        {{"--flash", "4MB", "--bootloader", "psp", kernel},
         "File is a kernel image file, NOT a valid COMBINED image firmware file."},
        {{"--flash", "4MB", "--bootloader", "psp", dir.folder()}, "File is not a valid firmware file."},
        {{"--flash", "4MB", "--bootloader", "psp", dir.folder() + "/"}, "File is not a valid firmware file."},
        {{"--flash", "4MB", "--bootloader", "psp", dir.file("fifo")}, "File is not a valid firmware file."},
        {{"--flash", "4MB", "--bootloader", "psp", dir.file("missing.bin")},
         "File is not a valid firmware file."},
        {{"--flash", "unknown", "--bootloader", "psp", huge}, tooLargeToSearch},
        {{"--flash", "unknown", "--bootloader", "psp", wraps}, tooLargeToSearch},
        {{"--flash", "0x123456789", "--bootloader", "psp", fw},
         "The Flash ROM size in hex must not have more than 8 digits."},
        {{"--flash", "0x70000000", "--bootloader", "psp", fw},
         "The Flash ROM size is too large: it must be less than 1792MB (70000000 in hex)."},
        {{"--flash", "-4MB", "--bootloader", "psp", fw}, "The Flash ROM size must not be negative."},
    };
    for (const auto& device : test::DevicePaths()) {
        cases.push_back(
            {{"--flash", "4MB", "--bootloader", "psp", device}, "File is not a valid firmware file."});
    }
    for (const auto& c : cases) {
        const ProcessResult r = calc(c.args);
        EXPECT_FALSE(r.timedOut) << c.message;
        EXPECT_EQ(r.exitStatus, 1) << c.message;
        EXPECT_EQ(r.out, "") << c.message;
        EXPECT_EQ(r.err, "flintor-calc: " + c.message + "\n");
    }
}

TEST_F(FlintorCalcTest, ImagesMustFitTheImageArea) {
    const struct {
        const char* flash;
        std::size_t length;
        int exitStatus;
        const char* message;
    } cases[] = {
        {"4MB", 0x3E0000, 0, ""},
        {"4MB", 0x3E0001, 1,
         "Warning! The firmware file you have selected is too large to fit on your router."},
        {"unknown", 0x1E0001, 1, "The firmware file you have selected is too large for the Flash ROM size "},
        {"unknown", 0x200001, 0, "Please ensure your router has more than 2MB Flash ROM"},
    };
    for (const auto& c : cases) {
        const ProcessResult r = calc({"--flash", c.flash, "--bootloader", "psp", image(c.length)});
        EXPECT_EQ(r.exitStatus, c.exitStatus) << c.length;
        EXPECT_EQ(r.out.empty(), c.exitStatus != 0) << c.length;
        EXPECT_EQ(r.err.empty(), *c.message == '\0') << r.err;
        EXPECT_TRUE(StartsWith(r.err, *c.message ? std::string("flintor-calc: ") + c.message : "")) << r.err;
    }
}

TEST_F(FlintorCalcTest, ImplausibleFileSystemIsAWarningLineAndJsonSaysWhy) {
    // Zeros around the magic: no real superblock. The values and the exit status stay those of a real one.
    const std::string zeros = dir.image("zeros.bin", 0x300000, {0x80000});
    const ProcessResult r = calc({"--flash", "4MB", "--bootloader", "psp", zeros});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, kPsp4MbOutput);
    EXPECT_EQ(r.err,
              "flintor-calc: warning: The SquashFS magic found at offset 524288 (0x80000) does not start a "
              "real file system: its version 0.0 is not one of 1 to 4. The values assume the file system "
              "starts there; check that this is the firmware file you meant.\n");

    const ProcessResult json = calc({"--json", "--flash", "4MB", "--bootloader", "psp", zeros});
    EXPECT_EQ(json.exitStatus, 0);
    const cli::Json zerosJson = cli::Json::parse(json.out);
    EXPECT_TRUE(
        zerosJson["warnings"][0].get<std::string>().starts_with("The SquashFS magic found at offset 524288"));
    EXPECT_EQ(
        zerosJson["squashfs"],
        (cli::Json{{"offset", 524288}, {"version", nullptr}, {"bytes_used", nullptr}, {"plausible", false}}));

    const ProcessResult real = calc({"--json", "--flash", "4MB", "--bootloader", "psp", image()});
    EXPECT_EQ(real.err, "");
    const cli::Json realJson = cli::Json::parse(real.out);
    EXPECT_EQ(realJson["warnings"], cli::Json::array());
    EXPECT_EQ(
        realJson["squashfs"],
        (cli::Json{{"offset", 524288}, {"version", "4.0"}, {"bytes_used", 2621440}, {"plausible", true}}));
}

TEST_F(FlintorCalcTest, ChecksumAndKernelAreANoteOrWarningLinesAlsoWithCompare) {
    const std::string path = image();
    std::ifstream in(test::PathOf(path), std::ios::binary);
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    in.close();
    const auto run = [&](std::vector<std::string> args) {
        args.insert(args.end(), {"--flash", "4MB", "--bootloader", "psp", path});
        return calc(args);
    };
    const std::uint32_t sum = CksumOf(bytes.data(), bytes.size());
    dir.appendTrailer(path, sum);
    const ProcessResult right = run({});
    EXPECT_EQ(right.out, kPsp4MbOutput);
    EXPECT_EQ(right.err, "flintor-calc: note: The image is intact: its checksum " + HexWord(sum) +
                             " matches its bytes.\n");
    const cli::Json rightJson = cli::Json::parse(run({"--json"}).out);
    EXPECT_EQ(rightJson["checksum"],
              (cli::Json{{"present", true}, {"stored", sum}, {"computed", sum}, {"valid", true}}));
    EXPECT_EQ(rightJson["kernel"], (cli::Json{{"offset", 144}, {"magic", 0xFEEDFA42u}, {"plausible", true}}));

    // No kernel at 0x90, and the trailer of the bytes before: two warnings, the damage first, the same
    // values.
    std::fill_n(bytes.begin() + 0x90, 4, 0);
    dir.write("fw.bin", bytes);
    dir.appendTrailer(path, sum);
    const std::uint32_t given = CksumOf(bytes.data(), bytes.size());
    const std::string warnings =
        "flintor-calc: warning: The image is damaged: its checksum is " + HexWord(sum) +
        " but its bytes give " + HexWord(given) +
        "; download it again.\nflintor-calc: warning: No kernel begins at offset 144 (0x90), where mtd1 "
        "begins: it holds 0x00000000, not 0xFEEDFA42 or 0xFEED1281. The router would not find a kernel at "
        "the "
        "start of mtd1; check that this is the firmware file you meant.\n";
    const ProcessResult damaged = run({});
    EXPECT_EQ(damaged.out, kPsp4MbOutput);
    EXPECT_EQ(damaged.err, warnings);
    const cli::Json damagedJson = cli::Json::parse(run({"--json"}).out);
    EXPECT_EQ(damagedJson["checksum"],
              (cli::Json{{"present", true}, {"stored", sum}, {"computed", given}, {"valid", false}}));
    EXPECT_EQ(damagedJson["kernel"], (cli::Json{{"offset", 144}, {"magic", 0}, {"plausible", false}}));
    EXPECT_EQ(damagedJson["warnings"].size(), 2u);
    // A router that holds the calculated values.
    const std::string env = "mtd0 0x900A0000,0x90400000\nmtd1 0x90020090,0x900A0000\nmtd2 0x90000000,"
                            "0x90010000\nmtd3 0x90010000,0x90020000\nmtd4 0x90020000,0x90400000\n";
    const ProcessResult compared = run({"--compare", dir.write("env.txt", {env.begin(), env.end()})});
    EXPECT_EQ(compared.exitStatus, 0) << compared.err;
    EXPECT_NE(compared.err.find(warnings), std::string::npos) << compared.err;
}

TEST_F(FlintorCalcTest, UsageErrorsExitWith2) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--flash", "3"}, {"--bootloader", "adam2", "--mtd5", "64K", image()}, {"--colour"}}) {
        const ProcessResult r = calc(args);
        EXPECT_EQ(r.exitStatus, 2) << args[0];
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("Usage: flintor-calc"), std::string::npos);
    }
}

TEST_F(FlintorCalcTest, HelpAndVersion) {
    const ProcessResult version = calc({"--version"});
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.out, "flintor-calc 1.0.1\n");
    const ProcessResult help = calc({"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_NE(help.out.find("--include-filename"), std::string::npos);
}

TEST_F(FlintorCalcTest, JsonDescribesImageLayoutsAndMessages) {
#ifdef _WIN32
    const char* const name = "a'b.bin"; // Windows file names hold no quote.
#else
    const char* const name = "a\"b.bin";
#endif
    const ProcessResult r =
        calc({"--json", "--flash", "unknown", "--bootloader", "adam2", dir.image(name, 0x280000, {0x71000})});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    const cli::Json json = cli::Json::parse(r.out);
    std::vector<std::string> keys;
    for (const auto& member : json.items()) {
        keys.push_back(member.key());
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"image", "flash_size", "flash_size_given", "bootloader",
                                              "mtd5_size", "messages", "layouts", "warnings", "squashfs",
                                              "checksum", "kernel", "output"}));
    EXPECT_EQ(json["image"]["file_name"], name);
    EXPECT_EQ(json["image"]["type"], "combined image");
    EXPECT_EQ(json["image"]["length"], 2621440);
    EXPECT_EQ(json["image"]["squashfs_offset"], 462848);
    EXPECT_EQ(json["flash_size"], 4194304);
    EXPECT_EQ(json["flash_size_given"], nullptr);
    EXPECT_EQ(json["bootloader"], "adam2");
    EXPECT_EQ(json["mtd5_size"], 0);
    EXPECT_EQ(
        json["messages"],
        (cli::Json::array({{{"kind", "information"},
                            {"text", "Please ensure your router has more than 2MB Flash ROM before using the "
                                     "selected file."}}})));
    EXPECT_EQ(json["layouts"][0]["name"], "Single images");
    EXPECT_EQ(json["layouts"][0]["partitions"][0],
              (cli::Json{{"name", "mtd0"}, {"start", 2416447488}, {"end", 2420047872}}));
    EXPECT_EQ(json["layouts"][1]["name"], "Separate images (filesystem offset)");
    EXPECT_EQ(json["layouts"][2]["name"], "Separate images (max kernel size)");
    EXPECT_EQ(
        json["checksum"],
        (cli::Json{{"present", false}, {"stored", nullptr}, {"computed", nullptr}, {"valid", nullptr}}));
    EXPECT_TRUE(
        json["output"].get<std::string>().starts_with("Single images:\nmtd0: 0x90081000, 0x903F0000\n"));
    // Messages still reach standard error.
    EXPECT_NE(r.err.find("Please ensure"), std::string::npos);
}

TEST_F(FlintorCalcTest, JsonValidationFailurePrintsNothing) {
    const ProcessResult r = calc({"--json", "--flash", "4MB", image()});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "flintor-calc: Please select a bootloader type.\n");
}

TEST_F(FlintorCalcTest, TelnetScriptForAdam2) {
    const ProcessResult r = calc({"--flash", "4MB", "--bootloader", "adam2", "--output", "telnet",
                                  dir.image("fw.bin", 0x200000, {0x71000})});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_TRUE(StartsWith(r.out, "Single images:\nSEND \"echo \\\"mtd0 0x90081000,0x903F0000\\\" "
                                  ">/proc/sys/dev/adam2/environment\\n\"\n"))
        << r.out;
    const std::string ending = "NOTE: If the above script(s) do not work, you may need to replace\n"
                               "\"/proc/sys/dev/adam2/environment\" with \"/proc/ticfg/env\"\n";
    EXPECT_EQ(r.out.substr(r.out.size() - ending.size()), ending);
}

TEST_F(FlintorCalcTest, BundledSamples) {
    const ProcessResult psp =
        calc({"--flash", "4MB", "--bootloader", "psp", "--mtd5", "128K", FLINTOR_SAMPLES_DIR "/psp-4mb.bin"});
    EXPECT_EQ(psp.exitStatus, 0) << psp.err;
    EXPECT_EQ(psp.out, "mtd0: 0x90022000, 0x903E0000\n"
                       "mtd1: 0x90020090, 0x90022000\n"
                       "mtd2: 0x90000000, 0x90010000\n"
                       "mtd3: 0x90010000, 0x90020000\n"
                       "mtd4: 0x90020000, 0x903E0000\n"
                       "mtd5: 0x903E0000, 0x90400000\n");
    const ProcessResult adam2 =
        calc({"--flash", "4MB", "--bootloader", "adam2", FLINTOR_SAMPLES_DIR "/adam2-4mb.bin"});
    EXPECT_EQ(adam2.exitStatus, 0) << adam2.err;
    EXPECT_TRUE(StartsWith(adam2.out, "Single images:\n"
                                      "mtd0: 0x90013010, 0x903F0000\n"
                                      "mtd1: 0x90010090, 0x90013010\n"
                                      "mtd2: 0x90000000, 0x90010000\n"))
        << adam2.out;
    EXPECT_NE(adam2.out.find("Separate images (max kernel size):\nmtd0: 0x900D0000, 0x903F0000\n"),
              std::string::npos);
}

} // namespace
} // namespace flintor
