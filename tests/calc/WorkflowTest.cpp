#include "Workflow.h"

#include "TestFiles.h"
#include "Texts.h"

#include <functional>
#include <gtest/gtest.h>
#include <locale>

namespace flintor {
namespace {

using test::TempDir;

// Records what the window would show, in order.
class RecordingHost : public WorkflowHost {
public:
    std::vector<std::string> events;
    std::vector<std::string> statuses;
    std::vector<std::string> messages;
    std::optional<std::string> results;
    std::optional<std::string> partitions;
    std::optional<std::string> toolTip;
    std::function<bool(const std::string& status)> onPump; // status current at the pump
    int pumps = 0;

    void setStatus(const std::string& text) override {
        statuses.push_back(text);
        events.push_back("status " + text);
    }
    bool processEvents() override {
        ++pumps;
        return onPump ? onPump(statuses.empty() ? std::string() : statuses.back()) : true;
    }
    void showMessage(const std::string& text, MessageKind kind) override {
        messages.push_back(text);
        events.push_back((kind == MessageKind::Warning ? "warning " : "information ") + text);
    }
    void setResultsText(const std::string& text) override {
        results = text;
        events.push_back("results");
    }
    std::optional<std::vector<std::string>> warnings;
    void setWarnings(const std::vector<std::string>& shown) override {
        warnings = shown;
        events.push_back("warnings " + std::to_string(shown.size()));
    }
    void setPartitionMap(const std::string& text, const std::string& tip) override {
        partitions = text;
        toolTip = tip;
        events.push_back("map");
    }
    void focusFileList() override { events.push_back("focus files"); }
    void focusPsp() override { events.push_back("focus psp"); }
};

class WorkflowTest : public ::testing::Test {
protected:
    TempDir dir;
    Workflow workflow;
    RecordingHost host;

    void SetUp() override { m_saved = std::locale::global(std::locale::classic()); }
    void TearDown() override { std::locale::global(m_saved); }

    // A 4MB PSP calculation of a 0x300000-byte image with its file system at 0x80000.
    WorkflowInputs pspInputs(const std::string& name = "fw.bin", std::size_t length = 0x300000) {
        dir.image(name, length, {0x80000});
        WorkflowInputs inputs;
        inputs.folder = dir.folder();
        inputs.fileName = name;
        inputs.memoryOption = 1;
        inputs.psp = true;
        inputs.mtd5Visible = true;
        return inputs;
    }

    WorkflowOutcome run(const WorkflowInputs& inputs) {
        host = RecordingHost();
        return workflow.calculate(inputs, host);
    }
    WorkflowOutcome run(const WorkflowInputs& inputs, std::function<bool(const std::string&)> onPump) {
        host = RecordingHost();
        host.onPump = std::move(onPump);
        return workflow.calculate(inputs, host);
    }

private:
    std::locale m_saved;
};

TEST_F(WorkflowTest, SuccessfulRunShowsEachStepInOrder) {
    EXPECT_EQ(run(pspInputs()), WorkflowOutcome::Completed);
    EXPECT_EQ(host.events, (std::vector<std::string>{
                               "status Validating filename...",
                               "status Validating file...",
                               "status Validating file is SquashFS...",
                               "status Validating memory selection...",
                               "status Validating bootloader choice...",
                               "status Validation complete.",
                               "status Validation passed.",
                               "status Scanning file...",
                               "results",
                               "results",
                               "warnings 1",
                               "map",
                               "status Calculation complete.",
                           }));
    // One pump per status, one per chunk read (31 of 100 KiB), one after "Scanning file...".
    EXPECT_EQ(host.pumps, 9 + 31);
    EXPECT_EQ(*host.results, workflow.state().ResultText);
    EXPECT_EQ(*host.partitions, "mtd0:2416574464,2420113408;mtd1:2416050320,2416574464;"
                                "mtd2:2415919104,2415984640;mtd3:2415984640,2416050176;"
                                "mtd4:2416050176,2420113408");
    EXPECT_EQ(*host.toolTip, "MTD Partitions");
    EXPECT_EQ(workflow.state().FilesystemOffset, 0x80000);
    EXPECT_EQ(workflow.state().ImageLength, 0x300000);
    EXPECT_EQ(workflow.state().FlashSize, 0x400000);
}

struct ValidationCase {
    const char* name;
    std::function<void(TempDir&, WorkflowInputs&)> setUp;
    std::string message;
    const char* focus; // nullptr: the focus stays
};

TEST_F(WorkflowTest, EachValidationFailureHasItsMessageAndFocus) {
    const auto write = [](TempDir& d, WorkflowInputs& in, std::vector<std::uint8_t> bytes) {
        in.fileName = "other.bin";
        d.write("other.bin", bytes);
    };
    const ValidationCase cases[] = {
        {"no file", [](TempDir&, WorkflowInputs& in) { in.fileName.clear(); }, texts::kSelectFile, "files"},
        {"kernel",
         [&](TempDir& d, WorkflowInputs& in) {
             write(d, in, {0x42, 0xFA, 0xED, 0xFE, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
         },
         "File is a kernel image file, NOT a valid COMBINED image firmware file.", "files"},
        {"10 bytes",
         [&](TempDir& d, WorkflowInputs& in) { write(d, in, std::vector<std::uint8_t>(10, 0x34)); },
         texts::kNotFirmware, "files"},
        {"missing", [](TempDir&, WorkflowInputs& in) { in.fileName = "missing.bin"; }, texts::kNotFirmware,
         "files"},
        {"directory",
         [](TempDir& d, WorkflowInputs& in) {
             std::filesystem::create_directory(d.path() / "sub.bin");
             in.fileName = "sub.bin";
         },
         texts::kNotFirmware, "files"},
        {"fifo",
         [](TempDir& d, WorkflowInputs& in) {
             test::MakeBlockingNonFile(d.file("pipe.bin"));
             in.fileName = "pipe.bin";
         },
         texts::kNotFirmware, "files"},
        {"no magic",
         [](TempDir& d, WorkflowInputs& in) {
             d.image("nomagic.bin", 300000, {});
             in.fileName = "nomagic.bin";
         },
         texts::kNotSquashFs, "files"},
        {"40 MiB",
         [](TempDir& d, WorkflowInputs& in) {
             d.sparseImage("big.bin", 40 << 20, 0x80000);
             in.fileName = "big.bin";
         },
         texts::kTooLargeToSearch, "files"},
        {"3 GiB",
         [](TempDir& d, WorkflowInputs& in) {
             d.sparseImage("huge.bin", 3ULL << 30, 0x80000);
             in.fileName = "huge.bin";
         },
         texts::kTooLargeToSearch, "files"},
        {"no memory", [](TempDir&, WorkflowInputs& in) { in.memoryOption.reset(); }, texts::kSelectMemory,
         nullptr},
        {"2MB too small", [](TempDir&, WorkflowInputs& in) { in.memoryOption = 0; }, texts::kTooLarge,
         "files"},
        {"hex too small",
         [](TempDir&, WorkflowInputs& in) {
             in.memoryOption = 3;
             in.sizeInHex = "2FFFFF";
         },
         texts::kTooLarge, "files"},
        {"unknown, above 4MB",
         [](TempDir& d, WorkflowInputs& in) {
             d.image("five.bin", 0x500000, {0x80000});
             in.fileName = "five.bin";
             in.memoryOption = 4;
         },
         texts::kLargerThanAssumedFlash, nullptr},
        {"negative MB",
         [](TempDir&, WorkflowInputs& in) {
             in.memoryOption = 2;
             in.sizeInMb = "-4";
         },
         texts::kFlashNegative, nullptr},
        {"huge MB",
         [](TempDir&, WorkflowInputs& in) {
             in.memoryOption = 2;
             in.sizeInMb = "1792";
         },
         texts::kFlashTooLarge, nullptr},
        {"overflowing MB",
         [](TempDir&, WorkflowInputs& in) {
             in.memoryOption = 2;
             in.sizeInMb = "1e400";
         },
         texts::kFlashTooLarge, nullptr},
        {"hex 0x70000000",
         [](TempDir&, WorkflowInputs& in) {
             in.memoryOption = 3;
             in.sizeInHex = "70000000";
         },
         texts::kFlashTooLarge, nullptr},
        {"hex of 9 digits",
         [](TempDir&, WorkflowInputs& in) {
             in.memoryOption = 3;
             in.sizeInHex = "000400000";
         },
         texts::kFlashHexTooLong, nullptr},
        {"no bootloader", [](TempDir&, WorkflowInputs& in) { in.psp = in.mtd5Visible = false; },
         texts::kSelectBootloader, "psp"},
        {"file system inside the kernel header",
         [](TempDir& d, WorkflowInputs& in) {
             d.image("early.bin", 0x1000, {0x20});
             in.fileName = "early.bin";
         },
         texts::kFilesystemInHeader, "files"},
        {"image filling the whole flash, its file system in the last 128 KiB",
         [](TempDir& d, WorkflowInputs& in) {
             d.image("late.bin", 0x400000, {0x3F0000});
             in.fileName = "late.bin";
         },
         texts::kTooLarge, "files"},
        {"hex size of a few hundred bytes",
         [](TempDir& d, WorkflowInputs& in) {
             d.image("tiny.bin", 0x100, {0x90});
             in.fileName = "tiny.bin";
             in.memoryOption = 3;
             in.sizeInHex = "100";
         },
         texts::kTooLarge, "files"},
        {"Adam2 flash without room for the largest kernel",
         [](TempDir& d, WorkflowInputs& in) {
             d.image("small.bin", 0x10000, {0x8000});
             in.fileName = "small.bin";
             in.memoryOption = 3;
             in.sizeInHex = "90000";
             in.psp = in.mtd5Visible = false;
             in.adam2 = true;
         },
         texts::kFlashTooSmallForLayout, nullptr},
    };
    for (const auto& c : cases) {
        WorkflowInputs inputs = pspInputs();
        c.setUp(dir, inputs);
        EXPECT_EQ(run(inputs), WorkflowOutcome::ValidationFailed) << c.name;
        ASSERT_GE(host.events.size(), 3u) << c.name;
        const auto last = host.events.end();
        EXPECT_EQ(host.messages, std::vector<std::string>{c.message}) << c.name;
        EXPECT_EQ(*(last - 2), "status Validation complete.") << c.name;
        EXPECT_EQ(*(last - 1), "status Validation failed.") << c.name;
        if (c.focus != nullptr) {
            EXPECT_EQ(*(last - 3), std::string("focus ") + c.focus) << c.name;
            EXPECT_EQ(*(last - 4), "warning " + c.message) << c.name;
        } else {
            EXPECT_EQ(*(last - 3), "warning " + c.message) << c.name;
        }
        EXPECT_FALSE(host.results) << c.name;
        EXPECT_FALSE(host.partitions) << c.name;
    }
}

TEST_F(WorkflowTest, LayoutsThatJustFitAreCalculated) {
    // The file system right after the kernel header, and a PSP file system on the flash's last byte
    // that the image area can hold: every partition still ends at or after its start.
    struct Case {
        std::size_t length;
        std::size_t magicAt;
        bool adam2;
    };
    for (const Case c : {Case{0x1000, 0x90, false}, Case{0x1000, 0x90, true}, Case{0x3E0000, 0x3DFFF0, false},
                         Case{0x3E0000, 0x3DFFF0, true}}) {
        WorkflowInputs inputs = pspInputs("edge.bin", c.length);
        dir.image("edge.bin", c.length, {c.magicAt});
        inputs.psp = inputs.mtd5Visible = !c.adam2;
        inputs.adam2 = c.adam2;
        EXPECT_EQ(run(inputs), WorkflowOutcome::Completed) << c.magicAt;
        for (const auto& block : workflow.lastCalculation()->layout.blocks) {
            for (const auto& partition : block.partitions) {
                EXPECT_GE(partition.end, partition.start) << c.magicAt << " mtd" << partition.number;
            }
        }
    }
}

TEST_F(WorkflowTest, FailedValidationKeepsThePreviousResult) {
    ASSERT_EQ(run(pspInputs()), WorkflowOutcome::Completed);
    const std::string previous = workflow.state().ResultText;
    WorkflowInputs inputs = pspInputs("small.bin", 0x100000);
    inputs.psp = inputs.mtd5Visible = false;
    EXPECT_EQ(run(inputs), WorkflowOutcome::ValidationFailed);
    EXPECT_EQ(workflow.state().ResultText, previous);
    // The steps that ran keep what they found.
    EXPECT_EQ(workflow.state().ImageLength, 0x100000);
}

TEST_F(WorkflowTest, UnknownFlashAbove2MiBRunsWith4MiBAndEndsWithTheNotice) {
    WorkflowInputs inputs = pspInputs("fw.bin", 0x280000);
    inputs.memoryOption = 4;
    EXPECT_EQ(run(inputs), WorkflowOutcome::Completed);
    EXPECT_EQ(host.events.back(), std::string("information ") + texts::kMoreThan2MbNotice);
    EXPECT_EQ(host.events.end()[-2], "status Calculation complete.");
    EXPECT_NE(workflow.state().ResultText.find("mtd4: 0x90020000, 0x90400000"), std::string::npos);
    EXPECT_TRUE(workflow.lastCalculation()->moreThan2MbNotice);
    EXPECT_EQ(workflow.lastCalculation()->effectiveFlashSize, 0x400000);

    inputs.memoryOption = 0;
    EXPECT_EQ(run(inputs), WorkflowOutcome::ValidationFailed);
    EXPECT_EQ(host.messages, std::vector<std::string>{texts::kTooLarge});
}

TEST_F(WorkflowTest, ImageMustFitTheImageAreaOfTheFlashGivenOrAssumed) {
    // The image area is the flash less the 128 KiB outside it; an unknown size is assumed to be 2MB up
    // to an image of 2MB and 4MB above.
    const struct {
        int memoryOption;
        const char* hex;
        std::size_t length;
        const char* message; // nullptr: calculated
    } cases[] = {
        {0, "", 0x1E0000, nullptr},
        {0, "", 0x1E0001, texts::kTooLarge},
        {1, "", 0x3E0000, nullptr},
        {1, "", 0x3E0001, texts::kTooLarge},
        {3, "800000", 0x7E0000, nullptr},
        {3, "800000", 0x7E0001, texts::kTooLarge},
        {3, "20000", 0x80010, texts::kTooLarge}, // a flash no larger than its own blocks
        {4, "", 0x1E0000, nullptr},
        {4, "", 0x1E0001, texts::kLargerThanAssumedFlash},
        {4, "", 0x200000, texts::kLargerThanAssumedFlash},
        {4, "", 0x200001, nullptr},
        {4, "", 0x3E0000, nullptr},
        {4, "", 0x3E0001, texts::kLargerThanAssumedFlash},
    };
    for (const auto& c : cases) {
        WorkflowInputs inputs = pspInputs("fit.bin", c.length);
        inputs.memoryOption = c.memoryOption;
        inputs.sizeInHex = c.hex;
        const WorkflowOutcome outcome = run(inputs);
        const std::string label = std::to_string(c.memoryOption) + " " + std::to_string(c.length);
        if (c.message == nullptr) {
            EXPECT_EQ(outcome, WorkflowOutcome::Completed) << label;
            const auto& mtd4 = workflow.lastCalculation()->layout.blocks[0].partitions[4];
            EXPECT_GE(mtd4.end - mtd4.start, c.length) << label;
            continue;
        }
        EXPECT_EQ(outcome, WorkflowOutcome::ValidationFailed) << label;
        EXPECT_EQ(host.messages, std::vector<std::string>{c.message}) << label;
        // The flash size's own refusal keeps the focus; the known size's sends it to the file list.
        const bool focusFiles = c.message == texts::kTooLarge;
        EXPECT_EQ(std::count(host.events.begin(), host.events.end(), "focus files"), focusFiles ? 1 : 0)
            << label;
    }
}

TEST_F(WorkflowTest, ImplausibleFileSystemWarnsWithoutChangingValuesOrMessages) {
    // The test image holds zeros around its magic: version 0.0.
    ASSERT_EQ(run(pspInputs()), WorkflowOutcome::Completed);
    const CalculationDetails first = *workflow.lastCalculation();
    EXPECT_TRUE(host.messages.empty());
    ASSERT_EQ(first.warnings.size(), 1u);
    EXPECT_EQ(*host.warnings, first.warnings);
    EXPECT_NE(first.warnings[0].find("offset 524288 (0x80000)"), std::string::npos) << first.warnings[0];
    EXPECT_NE(first.warnings[0].find("its version 0.0 is not one of 1 to 4"), std::string::npos);
    EXPECT_FALSE(first.squashFs.plausible);

    // The same image with a real superblock at the magic: no warning, and the one before is cleared.
    WorkflowInputs inputs = pspInputs();
    dir.fileSystemImage("fw.bin", 0x300000, 0x80000);
    ASSERT_EQ(run(inputs), WorkflowOutcome::Completed);
    EXPECT_TRUE(workflow.lastCalculation()->warnings.empty());
    EXPECT_EQ(host.warnings, std::vector<std::string>{});
    EXPECT_EQ(workflow.lastCalculation()->squashFs.versionText(), "4.0");
    EXPECT_EQ(workflow.lastCalculation()->squashFs.bytesUsed, 0x280000u);
    EXPECT_EQ(workflow.lastCalculation()->resultsText, first.resultsText);
    EXPECT_EQ(workflow.lastCalculation()->layout.blocks, first.layout.blocks);
}

TEST_F(WorkflowTest, UnknownFlashUpTo2MiBHasNoNotice) {
    WorkflowInputs inputs = pspInputs("fw.bin", 0x1E0000);
    inputs.memoryOption = 2;
    inputs.sizeInMb = ""; // an empty box counts as "Don't know"
    EXPECT_EQ(run(inputs), WorkflowOutcome::Completed);
    EXPECT_EQ(workflow.state().FlashSize, 0);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_NE(workflow.state().ResultText.find("mtd4: 0x90020000, 0x90200000"), std::string::npos);
}

TEST_F(WorkflowTest, SizeBoxesGiveTheSameResultAsTheFixedChoices) {
    ASSERT_EQ(run(pspInputs()), WorkflowOutcome::Completed);
    const std::string fourMb = workflow.state().ResultText;

    WorkflowInputs hex = pspInputs();
    hex.memoryOption = 3;
    hex.sizeInHex = "400000";
    ASSERT_EQ(run(hex), WorkflowOutcome::Completed);
    EXPECT_EQ(workflow.state().ResultText, fourMb);

    WorkflowInputs mb = pspInputs();
    mb.memoryOption = 2;
    mb.sizeInMb = " 4 ";
    ASSERT_EQ(run(mb), WorkflowOutcome::Completed);
    EXPECT_EQ(workflow.state().ResultText, fourMb);

    // "0x400000" reads as 0 (reading stops at the "x"): an unknown size, 4 MiB for this image, and the
    // notice.
    hex.sizeInHex = "0x400000";
    ASSERT_EQ(run(hex), WorkflowOutcome::Completed);
    EXPECT_EQ(workflow.state().FlashSize, 0);
    EXPECT_EQ(workflow.state().ResultText, fourMb);
    EXPECT_EQ(host.messages, std::vector<std::string>{texts::kMoreThan2MbNotice});
}

TEST_F(WorkflowTest, PspMaximumMtd5) {
    WorkflowInputs inputs = pspInputs();
    inputs.mtd5Text = "maximum";
    ASSERT_EQ(run(inputs), WorkflowOutcome::Completed);
    EXPECT_EQ(host.messages, std::vector<std::string>{"The maximum MTD5 size determined to be 896.00 KB"});
    const std::string& text = workflow.state().ResultText;
    EXPECT_EQ(text.substr(text.rfind("\r\n") + 2), "mtd5: 0x90320000, 0x90400000");
    EXPECT_EQ(workflow.lastCalculation()->layout.mtd5Size, 0xE0000);

    // The same choice while the list is hidden requests nothing.
    inputs.mtd5Visible = false;
    ASSERT_EQ(run(inputs), WorkflowOutcome::Completed);
    EXPECT_EQ(workflow.state().ResultText.find("mtd5"), std::string::npos);
}

TEST_F(WorkflowTest, Mtd5On2MbFlashIsWarnedAboutAndDropped) {
    WorkflowInputs inputs = pspInputs("fw.bin", 0x100000);
    inputs.memoryOption = 0;
    inputs.mtd5Text = "64.00 KB";
    inputs.mtd5ItemData = 1;
    ASSERT_EQ(run(inputs), WorkflowOutcome::Completed);
    EXPECT_EQ(host.messages, std::vector<std::string>{texts::kMtd5NotRecommended});
    EXPECT_EQ(workflow.state().ResultText.find("mtd5"), std::string::npos);
}

TEST_F(WorkflowTest, Adam2ResultCarriesTheNoteAndTheMapShowsTheSingleImage) {
    WorkflowInputs inputs = pspInputs();
    inputs.psp = inputs.mtd5Visible = false;
    inputs.adam2 = true;
    ASSERT_EQ(run(inputs), WorkflowOutcome::Completed);
    const std::string& text = workflow.state().ResultText;
    const std::string note = "\r\n" + std::string(67, '-') + "\r\n" + texts::kAdam2Note;
    ASSERT_GT(text.size(), note.size());
    EXPECT_EQ(text.substr(text.size() - note.size()), note);
    EXPECT_EQ(*host.toolTip, "MTD Partitions (Single image)");
    EXPECT_EQ(*host.partitions, "mtd0:2416508928,2420047872;mtd1:2415984784,2416508928;"
                                "mtd2:2415919104,2415984640;mtd3:2420047872,2420113408;"
                                "mtd4:2415984640,2420047872");
}

TEST_F(WorkflowTest, OutputChoiceAndFileNameReachTheResultsBox) {
    WorkflowInputs inputs = pspInputs();
    inputs.outputForm = 1;
    inputs.includeFileName = true;
    ASSERT_EQ(run(inputs), WorkflowOutcome::Completed);
    EXPECT_EQ(host.results->substr(0, 43), "fw.bin\r\nsetenv mtd0 0x900A0000,0x90400000\r\n");
    // The result text itself stays in the standard form.
    EXPECT_EQ(workflow.state().ResultText.substr(0, 6), "mtd0: ");
}

TEST_F(WorkflowTest, ReformatRendersTheLastResultOnlyOnceThereIsOne) {
    WorkflowInputs inputs = pspInputs();
    inputs.outputForm = 2;
    EXPECT_FALSE(workflow.reformat(inputs));
    ASSERT_EQ(run(pspInputs()), WorkflowOutcome::Completed);
    const auto ftp = workflow.reformat(inputs);
    ASSERT_TRUE(ftp);
    EXPECT_EQ(ftp->substr(0, 39), "quote SETENV mtd0,0x900A0000,0x90400000");
}

TEST_F(WorkflowTest, FileRemovedDuringTheSearchStopsWithAMessageAndNoResult) {
    WorkflowInputs inputs = pspInputs();
    const std::string path = dir.file(inputs.fileName);
    int chunks = 0;
    const auto outcome = run(inputs, [&](const std::string& status) {
        if (status == texts::kValidatingSquashFs && ++chunks == 2) {
            std::filesystem::remove(test::PathOf(path));
        }
        return true;
    });
    EXPECT_EQ(outcome, WorkflowOutcome::ValidationFailed);
    EXPECT_EQ(host.messages,
              std::vector<std::string>{"The firmware file could not be read: No such file or directory"});
    EXPECT_EQ(host.statuses.back(), texts::kValidationFailed);
    EXPECT_FALSE(host.results);
    EXPECT_TRUE(workflow.state().ResultText.empty());
}

TEST_F(WorkflowTest, FileChangedAfterValidationGetsNoPartitions) {
    WorkflowInputs inputs = pspInputs();
    const std::string path = dir.file(inputs.fileName);
    const auto outcome = run(inputs, [&](const std::string& status) {
        if (status == texts::kValidationPassed) {
            std::filesystem::resize_file(test::PathOf(path), 0x200000);
        }
        return true;
    });
    EXPECT_EQ(outcome, WorkflowOutcome::Failed);
    EXPECT_EQ(host.messages, std::vector<std::string>{texts::kFileChanged});
    EXPECT_EQ(host.statuses.back(), texts::kCalculationFailed);
    EXPECT_FALSE(host.results);
}

TEST_F(WorkflowTest, HostCanCancelDuringTheSearch) {
    ASSERT_EQ(run(pspInputs()), WorkflowOutcome::Completed);
    const std::string previous = workflow.state().ResultText;
    WorkflowInputs inputs = pspInputs("other.bin", 0x200000);
    const auto outcome =
        run(inputs, [&](const std::string& status) { return status != texts::kValidatingSquashFs; });
    EXPECT_EQ(outcome, WorkflowOutcome::Cancelled);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.statuses.back(), texts::kValidatingSquashFs);
    EXPECT_EQ(workflow.state().ResultText, previous);
    EXPECT_FALSE(workflow.running());
}

TEST_F(WorkflowTest, NestedRunIsRefused) {
    WorkflowInputs inputs = pspInputs();
    WorkflowOutcome nested = WorkflowOutcome::Completed;
    RecordingHost inner;
    run(inputs, [&](const std::string&) {
        if (workflow.running()) {
            nested = workflow.calculate(inputs, inner);
        }
        return true;
    });
    EXPECT_EQ(nested, WorkflowOutcome::Cancelled);
    EXPECT_TRUE(inner.events.empty());
}

TEST(WorkflowParts, Mtd5ItemsListNoneTheSevenSizesAndMaximum) {
    const auto saved = std::locale::global(std::locale::classic());
    const auto items = Mtd5Items();
    std::locale::global(saved);
    ASSERT_EQ(items.size(), 9u);
    EXPECT_EQ(items[0].text, "None");
    EXPECT_EQ(items[0].itemData, 0);
    EXPECT_EQ(items[1].text, "64.00 KB");
    EXPECT_EQ(items[1].itemData, 1);
    EXPECT_EQ(items[7].text, "448.00 KB");
    EXPECT_EQ(items[7].itemData, 7);
    EXPECT_EQ(items[8].text, "Maximum");
    EXPECT_EQ(items[8].itemData, 0);
}

TEST(WorkflowParts, RequestedMtd5Size) {
    EXPECT_EQ(RequestedMtd5Size(false, "Maximum", 3), 0);
    EXPECT_EQ(RequestedMtd5Size(true, "MAXIMUM", 0), -1);
    EXPECT_EQ(RequestedMtd5Size(true, "192.00 KB", 3), 0x30000);
    EXPECT_EQ(RequestedMtd5Size(true, "", std::nullopt), 0);
    EXPECT_EQ(RequestedMtd5Size(true, "None", 0), 0);
}

TEST(WorkflowParts, ReadFlashSize) {
    const struct {
        std::optional<int> option;
        const char* mb;
        const char* hex;
        std::int32_t size;
        const char* error;
    } cases[] = {
        {0, "", "", 0x200000, ""},
        {1, "", "", 0x400000, ""},
        {2, "1.5", "", 1572864, ""},
        {2, "", "", 0, ""},
        {2, "abc", "", 0, ""},
        {2, "0.0000001", "", 0, ""},               // 0.1 byte rounds to 0: unknown
        {2, "0.000001430511474609375", "", 2, ""}, // 1.5 bytes: half to even
        {2, "0.000002384185791015625", "", 2, ""}, // 2.5 bytes
        {2, "1791.99", "", 1879037706, ""},
        {2, "1792", "", 0, texts::kFlashTooLarge},
        {2, "-0.5", "", 0, texts::kFlashNegative},
        {2, "-1e400", "", 0, texts::kFlashNegative},
        {3, "", "3F0000", 0x3F0000, ""},
        {3, "", "8000", 0x8000, ""}, // unsigned: no 16-bit sign
        {3, "", "6FFFFFFF", 0x6FFFFFFF, ""},
        {3, "", "FFFFFFFF", 0, texts::kFlashTooLarge},
        {3, "", "123456789", 0, texts::kFlashHexTooLong},
        {3, "", "&H400000", 0, ""},
        {4, "8", "800000", 0, ""},
    };
    for (const auto& c : cases) {
        const FlashSizeReading reading = ReadFlashSize(c.option, c.mb, c.hex);
        EXPECT_TRUE(reading.chosen);
        EXPECT_EQ(reading.error, c.error) << c.mb << c.hex;
        if (reading.error.empty()) {
            EXPECT_EQ(reading.flashSize, c.size) << c.mb << c.hex;
        }
    }
    EXPECT_FALSE(ReadFlashSize(std::nullopt, "4", "400000").chosen);
}

TEST(WorkflowParts, PartitionsTextKeepsOnlyTheFirstBlock) {
    EXPECT_EQ(
        PartitionsTextOf("Single images:\r\nmtd0: 0x90081000, 0x903F0000\r\nmtd1: 0x90010090, 0x90081000\r\n"
                         "Separate images (filesystem offset):\r\nmtd0: 0x90090000, 0x903F0000"),
        "mtd0:2416447488,2420047872;mtd1:2415984784,2416447488");
    EXPECT_EQ(PartitionsTextOf("MTD5 : 0x10 , 0x20"), "MTD5:16,32");
    EXPECT_EQ(PartitionsTextOf(""), "");
}

TEST(WorkflowParts, ImagePathAndAdam2Note) {
    EXPECT_EQ(ImagePathOf("/srv/fw", "a.bin", '/'), "/srv/fw/a.bin");
    EXPECT_EQ(ImagePathOf("/", "a.bin", '/'), "/a.bin");
    EXPECT_EQ(ImagePathOf("C:\\", "a.bin", '\\'), "C:\\a.bin");
    EXPECT_EQ(WithAdam2Note(""), "");
    EXPECT_EQ(WithAdam2Note("x").size(), 1 + 2 + 67 + 2 + std::string(texts::kAdam2Note).size());
}

} // namespace
} // namespace flintor

namespace flintor {
namespace {

TEST_F(WorkflowTest, UnreadableFileIsReportedAsSuch) {
    if (test::UnreadableFiles().empty()) {
        GTEST_SKIP() << "no file here is unreadable to every user";
    }
    for (const auto& file : test::UnreadableFiles()) {
        const auto name = std::filesystem::path(file.path).filename().string();
        WorkflowInputs inputs = pspInputs(name);
        inputs.folder = file.path.substr(0, file.path.size() - name.size());
        EXPECT_EQ(run(inputs), WorkflowOutcome::ValidationFailed) << file.path;
        EXPECT_EQ(host.messages, std::vector<std::string>{texts::kReadFailedPrefix + file.reason});
    }
}

} // namespace
} // namespace flintor
