#include "OutputFormat.h"

#include "modMTD.h"

#include <gtest/gtest.h>

namespace flintor {
namespace {

const std::string kPsp = CalculateMtd(0x200000, 0x80000, 0x400000, false, 0);
const std::string kAdam2 = CalculateMtd(0x200000, 0x71000, 0x400000, true, 0) + "\r\n" +
                           std::string(67, '-') +
                           "\r\nNOTE: Values for mtd0 and mtd1 for separate images may be incorrect";

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    for (auto end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", pos)) {
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    lines.push_back(text.substr(pos));
    return lines;
}

TEST(FormatOutput, StandardIsTheTextUnchanged) {
    EXPECT_EQ(FormatOutput(kAdam2, 0, false, "image.bin"), kAdam2);
    EXPECT_EQ(FormatOutput(kAdam2, std::nullopt, false, "image.bin"), kAdam2);
    EXPECT_EQ(FormatOutput(kPsp, 7, false, "image.bin"), kPsp);
}

TEST(FormatOutput, EachFormRewritesAPartitionLine) {
    const std::string line = "mtd0: 0x90081000, 0x903F0000";
    EXPECT_EQ(FormatOutput(line, 1, false, ""), "setenv mtd0 0x90081000,0x903F0000");
    EXPECT_EQ(FormatOutput(line, 2, false, ""), "quote SETENV mtd0,0x90081000,0x903F0000");
    EXPECT_EQ(FormatOutput("Single images:\r\n" + line, 3, false, ""),
              "Single images:\r\nSEND \"echo \\\"mtd0 0x90081000,0x903F0000\\\" "
              ">/proc/sys/dev/adam2/environment\\n\""
              "\r\nNOTE: If the above script(s) do not work, you may need to replace\r\n"
              "\"/proc/sys/dev/adam2/environment\" with \"/proc/ticfg/env\"");
    EXPECT_EQ(FormatOutput(line, 3, false, ""),
              "SEND \"echo \\\"mtd0 0x90081000,0x903F0000\\\" >/proc/ticfg/env\\n\"");
}

TEST(FormatOutput, OnlyPartitionLinesChange) {
    for (int form = 1; form <= 3; ++form) {
        const auto in = SplitLines(kAdam2);
        const auto out = SplitLines(FormatOutput(kAdam2, form, false, ""));
        ASSERT_GE(out.size(), in.size());
        for (std::size_t i = 0; i < in.size(); ++i) {
            if (in[i].rfind("mtd", 0) == 0) {
                EXPECT_NE(out[i], in[i]) << form;
            } else {
                EXPECT_EQ(out[i], in[i]) << form;
            }
        }
        EXPECT_EQ(out.size(), in.size() + (form == 3 ? 2 : 0));
    }
    // "MTD" in any letter case marks a partition line.
    EXPECT_EQ(FormatOutput("MTD1: 0x1, 0x2\r\nx: 0x1, 0x2", 1, false, ""),
              "setenv MTD1 0x1,0x2\r\nx: 0x1, 0x2");
}

TEST(FormatOutput, FtpLinesHaveNoOtherBlanks) {
    const auto lines = SplitLines(FormatOutput(kAdam2, 2, false, ""));
    EXPECT_EQ(lines.at(4), "quote SETENV mtd3,0x903F0000,0x90400000");
    for (const auto& line : lines) {
        if (line.rfind("quote SETENV ", 0) == 0) {
            EXPECT_EQ(line.find(' ', 13), std::string::npos) << line;
        }
    }
}

TEST(FormatOutput, PspTelnetScriptWritesToTicfgAndHasNoNote) {
    const std::string script = FormatOutput(kPsp, 3, false, "");
    EXPECT_EQ(script.find("adam2"), std::string::npos);
    EXPECT_EQ(script.find("NOTE"), std::string::npos);
    EXPECT_EQ(SplitLines(script).size(), 5u);
    EXPECT_EQ(script.find('`'), std::string::npos);
    EXPECT_EQ(script.find('|'), std::string::npos);
}

TEST(FormatOutput, FileNameComesFirst) {
    const auto lines = SplitLines(FormatOutput(kPsp, 1, true, "image.bin"));
    EXPECT_EQ(lines.at(0), "image.bin");
    EXPECT_EQ(lines.at(1), "setenv mtd0 0x900A0000,0x90400000");
    EXPECT_EQ(lines.at(2), "setenv mtd1 0x90020090,0x900A0000");
    EXPECT_EQ(FormatOutput(kPsp, std::nullopt, true, "image.bin"), "image.bin\r\n" + kPsp);
    EXPECT_EQ(FormatOutput(kPsp, 0, true, ""), "\r\n" + kPsp);
}

TEST(FormatOutput, EmptyResultStaysEmpty) {
    for (int form = 0; form <= 3; ++form) {
        EXPECT_EQ(FormatOutput("", form, false, "image.bin"), "") << form;
        EXPECT_EQ(FormatOutput("", form, true, "image.bin"), "image.bin\r\n") << form;
    }
}

} // namespace
} // namespace flintor
