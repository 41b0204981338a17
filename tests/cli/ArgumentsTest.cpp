#include "Arguments.h"

#include "CalcCommand.h"

#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

namespace flintor::cli {
namespace {

CliOptions Parsed(const std::vector<std::string>& args) {
    const ParseResult result = ParseArguments(args);
    EXPECT_TRUE(result.options) << result.error;
    return result.options.value_or(CliOptions{});
}

TEST(ParseArguments, FlashSizesMapToTheWindowsChoices) {
    const struct {
        const char* flash;
        int option;
        const char* mb;
        const char* hex;
    } cases[] = {
        {"2MB", 0, "", ""},
        {"4MB", 1, "", ""},
        {"unknown", 4, "", ""},
        {"8MB", 2, "8", ""},
        {"1.5MB", 2, "1.5", ""},
        {"2.0MB", 2, "2.0", ""},
        {"4mb", 1, "", ""},
        {"-1MB", 2, "-1", ""},
        {"1e1MB", 2, "1e1", ""},
        {"0x3F0000", 3, "", "3F0000"},
        {"0X400000", 3, "", "400000"},
        {"0x123456789", 3, "", "123456789"},
    };
    for (const auto& c : cases) {
        const CliOptions options = Parsed({"--flash", c.flash, "fw.bin"});
        EXPECT_EQ(options.memoryOption, c.option) << c.flash;
        EXPECT_EQ(options.sizeInMb, c.mb) << c.flash;
        EXPECT_EQ(options.sizeInHex, c.hex) << c.flash;
    }
}

TEST(ParseArguments, EverythingElseIsAUsageError) {
    const std::vector<std::vector<std::string>> cases = {
        {"--flash", "4", "fw.bin"},
        {"--flash", "MB", "fw.bin"},
        {"--flash", "0x", "fw.bin"},
        {"--flash", "0x40G000", "fw.bin"},
        {"--flash", "4 MB", "fw.bin"},
        {"--flash", "1.5.1MB", "fw.bin"},
        {"--flash", "Unknown", "fw.bin"},
        {"--flash"},
        {"--bootloader", "PSP", "fw.bin"},
        {"--bootloader", "redboot", "fw.bin"},
        {"--output", "xml", "fw.bin"},
        {"--mtd5", "512K", "fw.bin"},
        {"--mtd5", "64K", "fw.bin"},
        {"--bootloader", "adam2", "--mtd5", "max", "fw.bin"},
        {"--frobnicate", "fw.bin"},
        {"a.bin", "b.bin"},
        {"--json=yes", "fw.bin"},
        {"-x", "fw.bin"},
        {"--router", "r", "--compare", "c", "fw.bin"},
        {"--apply", "fw.bin"},
        {"--compare", "c", "--record", "r.txt", "fw.bin"},
        {"--router", "r", "--wait", "-1", "fw.bin"},
        {"--router", "r", "--wait", "3601", "fw.bin"},
        {"--router", "r", "--router=s", "fw.bin"},
        {"--router", "r", "--user", "", "fw.bin"},
        {"--router", "r", "--user", "adam2\x01", "fw.bin"},
        {"--router", "r", "--password", "sec\r\nREBOOT", "fw.bin"},
        {"--serial", "COM3", "--router", "r", "fw.bin"},
        {"--serial", "COM3", "--compare", "c", "fw.bin"},
        {"--serial", "COM3", "--serial", "COM4", "fw.bin"},
        {"--serial", "COM3", "--user", "adam2", "fw.bin"},
        {"--serial", "COM3", "--baud", "38401", "fw.bin"},
        {"--router", "r", "--baud", "38400", "fw.bin"},
        {"--serial=", "fw.bin"},
        {"--write-image", "fw.bin"},
        {"--serial", "COM3", "--backup", "b.bin", "fw.bin"},
        {"--router", "r", "--apply", "--reboot", "fw.bin"},
        {"--router", "r", "--backup=", "fw.bin"},
        {"--router", "r", "--backup", "a.txt", "--record", "a.txt", "fw.bin"},
    };
    for (const auto& args : cases) {
        const ParseResult result = ParseArguments(args);
        EXPECT_FALSE(result.options) << args[0] << ' ' << (args.size() > 1 ? args[1] : "");
        EXPECT_FALSE(result.error.empty());
        EXPECT_EQ(result.error.find("sec\r"), std::string::npos) << "a password repeated";
    }
}

TEST(ParseArguments, WaitTakesFromNoTimeToAnHour) {
    for (const int seconds : {0, 3600}) {
        EXPECT_EQ(Parsed({"--router", "r", "--wait", std::to_string(seconds), "fw.bin"}).waitSeconds,
                  seconds);
    }
}

TEST(ParseArguments, AnImageWriteIsARepairToo) {
    EXPECT_TRUE(Parsed({"--router", "r", "--write-image", "--reboot", "fw.bin"}).apply);
}

TEST(ParseArguments, OptionsInAnyOrderWithSpaceOrEquals) {
    const CliOptions options = Parsed({"fw.bin", "--output=telnet", "--mtd5", "max", "--bootloader=psp",
                                       "--include-filename", "--json", "--flash=2MB"});
    EXPECT_EQ(options.image, "fw.bin");
    EXPECT_EQ(options.outputForm, 3);
    EXPECT_EQ(options.mtd5Choice, 8);
    EXPECT_TRUE(options.psp);
    EXPECT_FALSE(options.adam2);
    EXPECT_TRUE(options.includeFileName);
    EXPECT_TRUE(options.json);
    EXPECT_EQ(options.memoryOption, 0);
}

TEST(ParseArguments, MissingChoicesAreLeftForValidation) {
    const CliOptions options = Parsed({});
    EXPECT_FALSE(options.memoryOption);
    EXPECT_FALSE(options.psp || options.adam2);
    EXPECT_FALSE(options.image);
    EXPECT_EQ(options.outputForm, 0);
    EXPECT_EQ(options.mtd5Choice, 0);
}

TEST(ParseArguments, DoubleDashEndsTheOptions) {
    EXPECT_EQ(Parsed({"--", "--json"}).image, "--json");
    EXPECT_EQ(Parsed({"-"}).image, "-");
}

TEST(ParseArguments, CompareTakesAFileOrStandardInput) {
    EXPECT_EQ(Parsed({"--compare", "-", "fw.bin"}).compare, "-");
    EXPECT_EQ(Parsed({"--compare=env.txt", "fw.bin"}).compare, "env.txt");
    // The boot loader may come from the capture, which is checked against --mtd5 once it is read.
    EXPECT_EQ(Parsed({"--compare", "env.txt", "--mtd5", "max", "fw.bin"}).mtd5Choice, 8);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--compare"},
          {"--compare=", "fw.bin"},
          {"--compare", "env.txt", "--bootloader", "adam2", "--mtd5", "64K", "fw.bin"}}) {
        EXPECT_FALSE(ParseArguments(args).options) << args.back();
    }
}

TEST(ParseArguments, EachMtd5Choice) {
    const char* choices[] = {"none", "64K", "128K", "192K", "256K", "320K", "384K", "448K", "max"};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(Parsed({"--bootloader", "psp", "--mtd5", choices[i]}).mtd5Choice, i) << choices[i];
    }
}

TEST(RunFlintorCalc, HelpVersionAndUsageErrors) {
    std::ostringstream out, err;
    EXPECT_EQ(RunFlintorCalc({"--version"}, out, err), 0);
    EXPECT_EQ(out.str(), "flintor-calc 1.0.1\n");
    out.str("");
    EXPECT_EQ(RunFlintorCalc({"--help", "--flash", "2MB"}, out, err), 0);
    EXPECT_EQ(out.str().rfind("Usage: flintor-calc --flash SIZE", 0), 0u);
    EXPECT_TRUE(err.str().empty());
    out.str("");
    EXPECT_EQ(RunFlintorCalc({"--flash", "big"}, out, err), 2);
    EXPECT_TRUE(out.str().empty());
    EXPECT_NE(err.str().find("flintor-calc: --flash takes"), std::string::npos);
    EXPECT_NE(err.str().find("Usage:"), std::string::npos);
}

TEST(ValidUtf8, KeepsWellFormedSequencesAndReplacesEachOtherByte) {
    EXPECT_EQ(ValidUtf8("a\"b\\c\n\x01"), "a\"b\\c\n\x01");
    EXPECT_EQ(ValidUtf8("gr\xC3\xBC\xC3\x9F"), "gr\xC3\xBC\xC3\x9F");
    EXPECT_EQ(ValidUtf8("\xFF"
                        "a\xC3"),
              "\xEF\xBF\xBD"
              "a\xEF\xBF\xBD");
    EXPECT_EQ(ValidUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"); // a lone surrogate
    EXPECT_EQ(JsonText(Json{{"name", "a\xC3"}}), "{\n  \"name\": \"a\xEF\xBF\xBD\"\n}\n");
}

} // namespace
} // namespace flintor::cli

namespace flintor::cli {
namespace {

// The README's option table and --help (from which the manual page is made) name the same options.
TEST(Arguments, ReadmeOptionTableAgreesWithHelp) {
    std::ifstream readme(FLINTOR_README);
    ASSERT_TRUE(readme) << FLINTOR_README;
    std::set<std::string> inReadme, inHelp;
    const auto optionsIn = [](const std::string& text, std::set<std::string>& names) {
        for (auto at = text.find("--"); at != std::string::npos; at = text.find("--", at + 2)) {
            const auto end = text.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-", at + 2);
            names.insert(text.substr(at, end - at));
        }
    };
    for (std::string line; std::getline(readme, line);) {
        if (line.starts_with("| `--")) {
            optionsIn(line.substr(0, line.find(" |", 2)), inReadme);
        }
    }
    std::istringstream help(HelpText());
    for (std::string line; std::getline(help, line);) {
        if (line.starts_with("  --")) {
            optionsIn(line.substr(0, line.find(' ', 2)), inHelp);
        }
    }
    EXPECT_EQ(inReadme, inHelp);
    EXPECT_TRUE(inHelp.contains("--compare"));
}

} // namespace
} // namespace flintor::cli
