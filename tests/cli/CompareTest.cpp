// flintor-calc --compare, run in process with the bundled sample images and captures, and once as a
// process reading its capture from a file.
#include "CalcCommand.h"
#include "RunProcess.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <sstream>

namespace flintor::cli {
namespace {

struct CompareRun {
    int status = -1;
    std::string out;
    std::string err;
};

CompareRun Compare(std::vector<std::string> args, const std::string& input = {}) {
    std::istringstream in(input);
    std::ostringstream out, err;
    CompareRun run;
    run.status = RunFlintorCalc(args, out, err, in);
    run.out = out.str();
    run.err = err.str();
    return run;
}

std::string Sample(const std::string& name) {
    return FLINTOR_SAMPLES_DIR "/" + name;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(Compare, SampleCapturesGiveTheTableTheRepairAndTheRestore) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        int status;
        std::string out; // the whole standard output, or a part of it (partOnly)
        bool partOnly;
        std::vector<std::string> notes; // parts of standard error
    } cases[] = {
        {"PSP serial log, mtd0 wrong",
         {"--compare", Sample("captures/psp-printenv.txt"), Sample("psp-4mb.bin")},
         3,
         "partition  router                  calculated              status\n"
         "mtd0       0x900A0000, 0x90400000  0x90022000, 0x90400000  differs\n"
         "mtd1       0x90020090, 0x90022000  0x90020090, 0x90022000  same\n"
         "mtd2       0x90000000, 0x90010000  0x90000000, 0x90010000  same\n"
         "mtd3       0x90010000, 0x90020000  0x90010000, 0x90020000  same\n"
         "mtd4       0x90020000, 0x90400000  0x90020000, 0x90400000  same\n"
         "\nRepair:\nmtd0: 0x90022000, 0x90400000\n"
         "\nRestore:\nmtd0: 0x900A0000, 0x90400000\n",
         false,
         {"flintor-calc: note: boot loader: PSP: the capture names \"PSPBoot\" on line 1.\n",
          "flintor-calc: note: flash size: 4 MiB (0x400000): the capture's flashsize on line 10"}},
        {"Adam2 FTP session, all the same, in the FTP form",
         {"--compare", Sample("captures/adam2-ftp-getenv.txt"), "--output", "ftp", Sample("adam2-4mb.bin")},
         0,
         "\nRepair:\n\nRestore:\n",
         true,
         {"compared with the layout \"Separate images (filesystem offset)\"", "nothing to repair"}},
        {"Adam2 corrupted log: a value set twice, a swapped range, a cut line",
         {"--compare", Sample("captures/adam2-printenv-corrupted.txt"), "--output", "pctool",
          Sample("adam2-4mb.bin")},
         3,
         "mtd1       \"0x90010090,\"           0x90010090, 0x90013010  unreadable\n"
         "mtd2       0x90000000, 0x90010000  0x90000000, 0x90010000  same\n"
         "mtd3       0x903F0000, 0x90400000  0x903F0000, 0x90400000  same\n"
         "mtd4       0x903F0000, 0x90010000  0x90010000, 0x903F0000  differs\n"
         "\nRepair:\nsetenv mtd0 0x90013010,0x903F0000\nsetenv mtd1 0x90010090,0x90013010\n"
         "setenv mtd4 0x90010000,0x903F0000\n"
         "\nRestore:\nsetenv mtd0 0x90091000,0x903F0000\nsetenv mtd4 0x903F0000,0x90010000\n"
         "mtd1 held \"0x90010090,\", which is no address range: it cannot be typed back exactly.\n",
         true,
         {"mtd0 is set again on line 14"}},
        {"PSP /proc listing of an 8 MiB flash with an mtd5, in the Telnet form",
         {"--compare", Sample("captures/psp-proc-ticfg-env.txt"), "--output", "telnet",
          Sample("psp-4mb.bin")},
         3,
         "mtd5       0x907E0000, 0x90800000  -                       extra\n"
         "\nRepair:\nSEND \"echo \\\"mtd0 0x90022000,0x90800000\\\" >/proc/ticfg/env\\n\"\n",
         true,
         {"flash size: 8 MiB (0x800000)",
          "mtd5 is set on the router (0x907E0000, 0x90800000) but has no place "
          "in the calculated layout; it is left as it is."}},
        {"standard input, the owner's choices kept over the capture's",
         {"--compare", "-", "--bootloader", "psp", "--flash", "8MB", Sample("psp-4mb.bin")},
         3,
         "mtd0       0x90022000, 0x90400000  0x90022000, 0x90800000  differs\n",
         true,
         {"boot loader: PSP, as chosen.", "flash size: as given by --flash.",
          "the capture gives another flash size: 4 MiB (0x400000): mtd0 reaches the end of the flash at "
          "0x90400000. The --flash choice is kept."}},
    };
    const std::string stdinCapture = "# cat /proc/ticfg/env\r\nmtd0\t0x90022000,0x90400000\r\n";
    for (const auto& c : cases) {
        const CompareRun run = Compare(c.args, stdinCapture);
        EXPECT_EQ(run.status, c.status) << c.name << "\n" << run.err;
        if (c.partOnly) {
            EXPECT_TRUE(Has(run.out, c.out)) << c.name << "\n" << run.out;
        } else {
            EXPECT_EQ(run.out, c.out) << c.name;
        }
        for (const auto& note : c.notes) {
            EXPECT_TRUE(Has(run.err, note)) << c.name << ": " << note << "\n" << run.err;
        }
    }
}

TEST(Compare, WhatCannotBeReadOrInferredIsRefusedWithNothingPrinted) {
    const test::TempDir dir;
    const std::string image = Sample("psp-4mb.bin");
    const std::string noLoader = "mtd0 0x90022000,0x90400000\n";
    const std::string oddEnd = "(psbl) printenv\nmtd0 0x90022000,0x90410001\n";
    const struct {
        std::vector<std::string> args;
        std::string input;
        int status;
        std::string message;
    } cases[] = {
        {{"--compare", "-", image}, noLoader, 1, "Give --bootloader adam2 or --bootloader psp."},
        {{"--compare", "-", image},
         oddEnd,
         1,
         "which is no flash end (a whole number of 64 KiB blocks above "
         "0x90000000). Give --flash.\n"},
        {{"--compare", "-", image},
         std::string("mtd0 0x90022000,0x90400000\0", 28),
         1,
         "flintor-calc: The router capture is not text: it holds NUL bytes.\n"},
        {{"--compare", "-", image}, "no values here\n", 1, "No mtd0 to mtd5 values"},
        {{"--compare", "-", image}, std::string(1024 * 1024 + 1, 'm'), 1, "larger than 1 MiB"},
        {{"--compare", dir.folder(), image}, "", 1, "The router capture is not a regular file: "},
        {{"--compare", dir.file("missing.txt"), image},
         "",
         1,
         "The router capture could not be read: No such file or directory"},
        {{"--compare", Sample("captures/adam2-ftp-getenv.txt"), "--mtd5", "64K", Sample("adam2-4mb.bin")},
         "",
         2,
         "--mtd5 needs --bootloader psp, and the router capture shows Adam2\nUsage:"},
        // The workflow's own refusals end a comparison as they end a calculation.
        {{"--compare", "-", Sample("captures/psp-printenv.txt")},
         "(psbl)\nmtd0 0x90022000,0x90400000\n",
         1,
         "flintor-calc: File is not a valid firmware file.\n"},
    };
    for (const auto& c : cases) {
        const CompareRun run = Compare(c.args, c.input);
        EXPECT_EQ(run.status, c.status) << c.message << "\n" << run.err;
        EXPECT_EQ(run.out, "") << c.message;
        EXPECT_TRUE(Has(run.err, c.message)) << c.message << "\n" << run.err;
    }
    // Given as unknown, a flash size the capture cannot tell is assumed from the image, as without a capture.
    const CompareRun assumed = Compare({"--compare", "-", "--flash", "unknown", image}, oddEnd);
    EXPECT_EQ(assumed.status, 3) << assumed.err;
    EXPECT_TRUE(Has(assumed.out, "0x90022000, 0x90200000  differs")) << assumed.out;
}

TEST(Compare, JsonAddsTheRouterTheComparisonAndTheCommands) {
    const CompareRun run = Compare(
        {"--json", "--compare", Sample("captures/adam2-printenv-corrupted.txt"), Sample("adam2-4mb.bin")});
    EXPECT_EQ(run.status, 3) << run.err;
    const Json json = Json::parse(run.out);
    const Json& router = json["router"];
    EXPECT_EQ(router["bootloader"], "adam2");
    EXPECT_EQ(router["bootloader_reason"], "Adam2: the capture names \"ADAM2\" on line 1.");
    EXPECT_EQ(router["flash_size"], 4194304);
    EXPECT_EQ(router["partitions"][0], (Json{{"name", "mtd0"}, {"start", 2416513024}, {"end", 2420047872}}));
    EXPECT_EQ(router["partitions"][1]["name"], "mtd2");
    EXPECT_TRUE(router["notes"][0].get<std::string>().starts_with("mtd0 is set again on line 14"));
    EXPECT_EQ(json["comparison"][0]["layout"], "Single images");
    EXPECT_EQ(json["comparison"][0]["partitions"][0],
              (Json{{"name", "mtd0"},
                    {"router", {{"start", 2416513024}, {"end", 2420047872}}},
                    {"calculated", {{"start", 2415996944}, {"end", 2420047872}}},
                    {"status", "differs"}}));
    EXPECT_EQ(json["comparison"][0]["partitions"][1]["router"], "0x90010090,");
    EXPECT_EQ(json["comparison"][0]["partitions"][1]["status"], "unreadable");
    EXPECT_EQ(router["unreadable"], (Json::array({{{"name", "mtd1"}, {"value", "0x90010090,"}}})));
    EXPECT_EQ(json["comparison"][2]["layout"], "Separate images (max kernel size)");
    EXPECT_EQ(json["matched_layout"], 0);
    EXPECT_EQ(json["repair"], "mtd0: 0x90013010, 0x903F0000\nmtd1: 0x90010090, 0x90013010\nmtd4: 0x90010000, "
                              "0x903F0000\n");
    EXPECT_EQ(json["restore"], "mtd0: 0x90091000, 0x903F0000\nmtd4: 0x903F0000, 0x90010000\n");
    std::vector<std::string> keys;
    for (const auto& member : json.items()) {
        keys.push_back(member.key());
    }
    const std::vector<std::string> lastKeys(keys.end() - 7, keys.end());
    EXPECT_EQ(lastKeys, (std::vector<std::string>{"router", "comparison", "matched_layout", "repair",
                                                  "restore", "repair_note", "restore_unreadable"}));

    const CompareRun same =
        Compare({"--json", "--compare", Sample("captures/adam2-ftp-getenv.txt"), Sample("adam2-4mb.bin")});
    EXPECT_EQ(same.status, 0);
    const Json sameJson = Json::parse(same.out);
    EXPECT_EQ(sameJson["matched_layout"], 1);
    EXPECT_EQ(sameJson["repair"], "");
    EXPECT_EQ(sameJson["restore"], "");
}

TEST(Compare, TheProgramReadsItsCaptureFile) {
    const test::ProcessResult r =
        test::RunProcess(FLINTOR_CALC_BINARY, {"--compare", Sample("captures/psp-printenv.txt"), "--output",
                                               "ftp", Sample("psp-4mb.bin")});
    EXPECT_EQ(r.exitStatus, 3) << r.err;
    EXPECT_TRUE(Has(r.out, "\nRepair:\nquote SETENV mtd0,0x90022000,0x90400000\n\nRestore:\n"
                           "quote SETENV mtd0,0x900A0000,0x90400000\n"))
        << r.out;
}

} // namespace
} // namespace flintor::cli
