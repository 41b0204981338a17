// Flash sizes, mtd5 choices and texts at their limits, through the Calculate command and through
// flintor-calc: each reaches a clear message or a result whose every address is sound.
#include "CalcCommand.h"
#include "FaultSupport.h"
#include "TestFiles.h"
#include "Texts.h"

#include <sstream>

namespace flintor::faults {
namespace {

using test::TempDir;

// Texts for the size boxes: empty, not numbers, signs, exponents, hex prefixes, digit counts about
// the 32-bit limit, and very long texts.
std::vector<std::string> SizeTexts() {
    return {"",
            "abc",
            "-0",
            "+0",
            "1e400",
            "-1e400",
            "1e-400",
            "&HFFFFFFFF",
            "FFFFFFFF",
            "7FFFFFFF",
            "70000000",
            "6FFFFFFF",
            "000000000",
            "123456789",
            "00000400000",
            "1792",
            "1791.99999",
            "1791",
            "-1",
            "-0.0000001",
            "0.4",
            "NaN",
            "inf",
            "0x400000",
            "  4 0 0  ",
            "4MB",
            "1e9",
            "9.9e307",
            "1." + std::string(5000, '9'),
            std::string(100000, '9'),
            std::string(100000, 'F'),
            "0." + std::string(400, '0') + "1",
            std::string(1, '\0') + "4",
            "\xEF\xBC\x94",
            "\xFF\xFE"};
}

class Limits : public ::testing::Test {
protected:
    TempDir dir;

    void SetUp() override {
        dir.image("fw.bin", 0x100000, {0x80000});
        dir.image("tiny.bin", 0x100, {0x90});
        dir.image("late.bin", 0x100000, {0xF0000});
    }

    WorkflowInputs inputs(const std::string& name = "fw.bin") const {
        WorkflowInputs in;
        in.folder = dir.path().string();
        in.fileName = name;
        in.psp = true;
        in.mtd5Visible = true;
        return in;
    }

    // One run: a completed one has sound addresses, any other ends in exactly one clear message.
    void expectSound(const WorkflowInputs& in, const std::string& label) {
        Workflow workflow;
        RecordingHost host;
        const WorkflowOutcome outcome = workflow.calculate(in, host);
        if (outcome == WorkflowOutcome::Completed) {
            ASSERT_TRUE(host.results) << label;
            ExpectSoundAddresses(*host.results);
            for (const auto& block : workflow.lastCalculation()->layout.blocks)
                for (const auto& partition : block.partitions)
                    EXPECT_GE(partition.end, partition.start) << label << " mtd" << partition.number;
            EXPECT_LT(workflow.lastCalculation()->effectiveFlashSize, kFlashSizeLimit) << label;
            return;
        }
        EXPECT_EQ(outcome, WorkflowOutcome::ValidationFailed) << label;
        ASSERT_EQ(host.messages.size(), 1u) << label;
        EXPECT_GT(host.messages[0].size(), 10u) << label;
        EXPECT_FALSE(host.results) << label;
    }
};

TEST_F(Limits, SizeBoxesAtTheirLimits) {
    for (const std::string name : {"fw.bin", "tiny.bin", "late.bin"}) {
        for (const std::string& text : SizeTexts()) {
            for (const bool adam2 : {false, true}) {
                WorkflowInputs in = inputs(name);
                in.psp = in.mtd5Visible = !adam2;
                in.adam2 = adam2;
                in.memoryOption = 2;
                in.sizeInMb = text;
                expectSound(in, name + " MB [" + text.substr(0, 40) + "]");
                in.memoryOption = 3;
                in.sizeInHex = text;
                expectSound(in, name + " hex [" + text.substr(0, 40) + "]");
            }
        }
    }
}

TEST_F(Limits, SizesThatMustBeRefusedSaySo) {
    struct Case {
        int option;
        std::string text;
        std::string message;
        std::string name = "fw.bin";
    };
    const Case cases[] = {
        {2, "-4", texts::kFlashNegative},
        {2, "-1e400", texts::kFlashNegative},
        {2, "1792", texts::kFlashTooLarge},
        {2, "1e400", texts::kFlashTooLarge},
        {3, "70000000", texts::kFlashTooLarge},
        {3, "FFFFFFFF", texts::kFlashTooLarge},
        {3, "000000000", texts::kFlashHexTooLong},
        {3, std::string(100000, 'F'), texts::kFlashHexTooLong},
        {3, "FFFFF", texts::kTooLarge},
        {2, "0.5", texts::kTooLarge},
        // Images that would fill the flash, its 128 KiB outside the image area included.
        {3, "100000", texts::kTooLarge, "late.bin"},
        {3, "100", texts::kTooLarge, "tiny.bin"},
    };
    for (const Case& c : cases) {
        WorkflowInputs in = inputs(c.name);
        in.memoryOption = c.option;
        (c.option == 2 ? in.sizeInMb : in.sizeInHex) = c.text;
        Workflow workflow;
        RecordingHost host;
        EXPECT_EQ(workflow.calculate(in, host), WorkflowOutcome::ValidationFailed) << c.text.substr(0, 40);
        EXPECT_EQ(host.messages, std::vector<std::string>{c.message}) << c.text.substr(0, 40);
    }
}

TEST_F(Limits, Mtd5ChoicesOnEveryFlashSize) {
    struct Choice {
        std::string text;
        std::optional<int> itemData;
    };
    const Choice choices[] = {{"None", 0},        {"64.00 KB", 1},   {"448.00 KB", 7}, {"Maximum", 0},
                              {"MAXIMUM", {}},    {"", {}},          {"odd", 100000},  {"odd", -1},
                              {"odd", INT32_MAX}, {"odd", INT32_MIN}};
    const std::pair<int, std::string> flashes[] = {{0, ""},       {1, ""},       {3, "100000"},
                                                   {3, "110000"}, {3, "200001"}, {3, "6FFFFFFF"},
                                                   {4, ""},       {2, "1791.99"}};
    for (const auto& [option, text] : flashes) {
        for (const Choice& choice : choices) {
            WorkflowInputs in = inputs();
            in.memoryOption = option;
            in.sizeInHex = in.sizeInMb = text;
            in.mtd5Text = choice.text;
            in.mtd5ItemData = choice.itemData;
            expectSound(in, std::to_string(option) + " " + text + " / " + choice.text + " " +
                                std::to_string(choice.itemData.value_or(-99)));
        }
    }
}

TEST_F(Limits, FlintorCalcFlashArgumentsAtTheirLimits) {
    const std::string image = dir.file("fw.bin");
    std::vector<std::string> flashes = {"",
                                        "MB",
                                        "0x",
                                        "0X400000",
                                        "0x000400000",
                                        "0xFFFFFFFF",
                                        "0x70000000",
                                        "0x6FFFFFFF",
                                        "0x-1",
                                        "-0MB",
                                        "-4MB",
                                        "1e400MB",
                                        "1792MB",
                                        "1791.9MB",
                                        "nanMB",
                                        "infMB",
                                        "4mb",
                                        "4 MB",
                                        "unknown",
                                        "0x100",
                                        "0x" + std::string(100000, 'F'),
                                        std::string(100000, '4') + "MB"};
    for (const std::string& flash : flashes) {
        for (const char* loader : {"psp", "adam2"}) {
            std::ostringstream out, err;
            const int status =
                cli::RunFlintorCalc({"--flash", flash, "--bootloader", loader, image}, out, err);
            const std::string label = flash.substr(0, 40) + " " + loader;
            if (status == cli::kExitSuccess) {
                ExpectSoundAddresses(out.str());
                EXPECT_NE(out.str().find("mtd4"), std::string::npos) << label;
            } else {
                EXPECT_TRUE(status == cli::kExitRejected || status == cli::kExitUsage) << label;
                EXPECT_EQ(out.str(), "") << label;
                EXPECT_NE(err.str().find("flintor-calc: "), std::string::npos) << label;
            }
        }
    }
}

} // namespace
} // namespace flintor::faults
