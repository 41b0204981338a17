#include "Texts.h"
#include "modMTD.h"

#include <gtest/gtest.h>
#include <locale>

namespace flintor {
namespace {

struct Message {
    std::string text;
    MessageKind kind;
    bool operator==(const Message&) const = default;
};

class CalculatorTest : public ::testing::Test {
protected:
    std::vector<Message> messages;
    MessageSink sink = [this](const std::string& text, MessageKind kind) {
        messages.push_back({text, kind});
    };

    void SetUp() override { m_saved = std::locale::global(std::locale::classic()); }
    void TearDown() override { std::locale::global(m_saved); }

    std::string calc(std::int64_t length, std::int64_t offset, double flash, bool adam2, std::int64_t mtd5) {
        messages.clear();
        return CalculateMtd(length, offset, flash, adam2, mtd5, sink);
    }

private:
    std::locale m_saved;
};

std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) {
        text += (text.empty() ? "" : "\r\n") + std::string(line);
    }
    return text;
}

TEST_F(CalculatorTest, Adam2WorkedExampleHasThreeBlocks) {
    const std::string expected = Lines({
        "Single images:",
        "mtd0: 0x90081000, 0x903F0000",
        "mtd1: 0x90010090, 0x90081000",
        "mtd2: 0x90000000, 0x90010000",
        "mtd3: 0x903F0000, 0x90400000",
        "mtd4: 0x90010000, 0x903F0000",
        "Separate images (filesystem offset):",
        "mtd0: 0x90090000, 0x903F0000",
        "mtd1: 0x90010000, 0x90090000",
        "mtd2: 0x90000000, 0x90010000",
        "mtd3: 0x903F0000, 0x90400000",
        "mtd4: 0x90010000, 0x903F0000",
        "Separate images (max kernel size):",
        "mtd0: 0x900D0000, 0x903F0000",
        "mtd1: 0x90010000, 0x900D0000",
        "mtd2: 0x90000000, 0x90010000",
        "mtd3: 0x903F0000, 0x90400000",
        "mtd4: 0x90010000, 0x903F0000",
    });
    EXPECT_EQ(calc(0x200000, 0x71000, 0x400000, true, 0), expected);
    EXPECT_TRUE(messages.empty());
}

TEST_F(CalculatorTest, PspLayoutHasFiveLines) {
    EXPECT_EQ(calc(0x300000, 0x80000, 0x400000, false, 0), Lines({
                                                               "mtd0: 0x900A0000, 0x90400000",
                                                               "mtd1: 0x90020090, 0x900A0000",
                                                               "mtd2: 0x90000000, 0x90010000",
                                                               "mtd3: 0x90010000, 0x90020000",
                                                               "mtd4: 0x90020000, 0x90400000",
                                                           }));
}

TEST_F(CalculatorTest, MaximumMtd5FillsTheFreeSpace) {
    const std::string expected = Lines({
        "mtd0: 0x900A0000, 0x90320000",
        "mtd1: 0x90020090, 0x900A0000",
        "mtd2: 0x90000000, 0x90010000",
        "mtd3: 0x90010000, 0x90020000",
        "mtd4: 0x90020000, 0x90320000",
        "mtd5: 0x90320000, 0x90400000",
    });
    EXPECT_EQ(calc(0x300000, 0x80000, 0x400000, false, -1), expected);
    EXPECT_EQ(messages, (std::vector<Message>{
                            {"The maximum MTD5 size determined to be 896.00 KB", MessageKind::Information}}));
    // A request that does not fit is reduced to the same maximum.
    EXPECT_EQ(calc(0x300000, 0x80000, 0x400000, false, 0x100000), expected);
    EXPECT_EQ(messages, (std::vector<Message>{
                            {"The MTD5 size is too large and it will automatically be reduced to 896.00 KB",
                             MessageKind::Information}}));
    // One that fits exactly is used unchanged, without a message; an image length of 0x2F0001 counts as
    // 0x300000.
    EXPECT_EQ(calc(0x2F0001, 0x80000, 0x400000, false, 0xE0000), expected);
    EXPECT_TRUE(messages.empty());
}

TEST_F(CalculatorTest, MaximumMtd5IsTheRoomRoundedDownTo64KiB) {
    // A 64 KiB image leaves the flash size less 192 KiB; on these flash sizes that is no whole 64 KiB, and
    // mtd5 never reaches into the image area.
    const struct {
        double flash;
        const char* mtd5;
    } cases[] = {
        {0x3F4000, "mtd5: 0x90034000, 0x903F4000"}, // 0x3C4000 down to 0x3C0000
        {0x3FC000, "mtd5: 0x9003C000, 0x903FC000"}, // 0x3CC000 down to 0x3C0000, not up to 0x3D0000
        {0x3F8000, "mtd5: 0x90038000, 0x903F8000"}, // 0x3C8000, a half, down to 0x3C0000
    };
    for (const auto& c : cases) {
        const std::string text = calc(0x10000, 0x8000, c.flash, false, -1);
        EXPECT_EQ(text.substr(text.rfind("\r\n") + 2), c.mtd5) << c.flash;
    }
}

TEST_F(CalculatorTest, SmallMtd5IsUsedAsRequested) {
    const std::string text = calc(0x100000, 0x80000, 0x400000, false, 0x20000);
    EXPECT_NE(text.find("mtd0: 0x900A0000, 0x903E0000"), std::string::npos);
    EXPECT_NE(text.find("mtd5: 0x903E0000, 0x90400000"), std::string::npos);
    const std::string adam2 = calc(0x100000, 0x80000, 0x400000, true, 0x20000);
    EXPECT_NE(adam2.find("mtd4: 0x90010000, 0x903D0000"), std::string::npos);
    EXPECT_NE(adam2.find("mtd5: 0x903D0000, 0x903F0000"), std::string::npos);
    EXPECT_TRUE(messages.empty());
}

TEST_F(CalculatorTest, Mtd5On2MiBFlashIsDroppedWithAWarning) {
    const std::string text = calc(0x100000, 0x80000, 0x200000, false, 0x10000);
    EXPECT_EQ(messages, (std::vector<Message>{{texts::kMtd5NotRecommended, MessageKind::Warning}}));
    EXPECT_EQ(text.find("mtd5"), std::string::npos);
    // MaxKernelSize is 512 KiB up to 2 MiB.
    EXPECT_NE(calc(0x100000, 0x80000, 0x200000, true, 0)
                  .find("mtd0: 0x90090000, 0x901F0000\r\nmtd1: "
                        "0x90010000, 0x90090000"),
              std::string::npos);
}

TEST_F(CalculatorTest, JustAbove2MiBNeitherWarnsNorUsesTheSmallKernel) {
    const std::string text = calc(0x100000, 0x20000, 0x200001, true, -1);
    ASSERT_FALSE(messages.empty());
    EXPECT_NE(messages.front().text, texts::kMtd5NotRecommended);
    EXPECT_NE(text.find("Separate images (max kernel size):\r\nmtd0: 0x900D0000"), std::string::npos);
}

TEST_F(CalculatorTest, MaxKernelBlockIsLeftOutWhenItEqualsTheOffsetBlock) {
    // R = Align64K(0x90010000 + o, up) = 0x900D0000 = 0x90010000 + K for o in 0xB0001..0xC0000.
    for (std::int64_t offset : {0xB0001, 0xB8000, 0xC0000}) {
        const std::string text = calc(0x200000, offset, 0x400000, true, 0);
        EXPECT_NE(text.find("Separate images (filesystem offset):"), std::string::npos) << offset;
        EXPECT_EQ(text.find("max kernel size"), std::string::npos) << offset;
    }
    EXPECT_NE(calc(0x200000, 0xB0000, 0x400000, true, 0).find("max kernel size"), std::string::npos);
    EXPECT_NE(calc(0x200000, 0xC0001, 0x400000, true, 0).find("max kernel size"), std::string::npos);
}

TEST_F(CalculatorTest, ImageFillingTheFlashLeavesNoRoomForMtd5) {
    const std::string without = calc(0x3F0000, 0x80000, 0x400000, false, 0);
    EXPECT_EQ(calc(0x3F0000, 0x80000, 0x400000, false, -1), without);
    EXPECT_EQ(messages, (std::vector<Message>{
                            {"The maximum MTD5 size determined to be -65536 ??", MessageKind::Information}}));
    EXPECT_EQ(calc(0x3E0000, 0x80000, 0x400000, false, -1), without);
    EXPECT_EQ(messages.at(0).text, "The maximum MTD5 size determined to be 0.00 B ");
}

TEST_F(CalculatorTest, NegativeOffsetGivesNothing) {
    EXPECT_EQ(calc(0x300000, -1, 0x400000, false, -1), "");
    EXPECT_TRUE(messages.empty());
}

TEST_F(CalculatorTest, FractionalFlashSizeIsRoundedHalfToEven) {
    EXPECT_EQ(calc(0x100000, 0x80000, 4194304.5, false, 0), calc(0x100000, 0x80000, 0x400000, false, 0));
    EXPECT_EQ(calc(0x100000, 0x80000, 4194305.5, false, 0), calc(0x100000, 0x80000, 0x400002, false, 0));
    EXPECT_NE(calc(0x100000, 0x80000, 4194304.6, false, 0).find("0x90400001"), std::string::npos);
}

TEST_F(CalculatorTest, LargestFlashStaysWithin32Bits) {
    const std::string text = calc(0x100000, 0x80000, 0x6FFFFFFF, true, -1);
    EXPECT_NE(text.find("mtd3: 0xFFFEFFFF, 0xFFFFFFFF"), std::string::npos);
    EXPECT_THROW(calc(0x100000, 0x80000, 0x70000000, false, 0), std::invalid_argument);
    EXPECT_THROW(calc(0x100000, 0x80000, -1, false, 0), std::invalid_argument);
}

TEST(CalculatorParts, EffectiveFlashSize) {
    EXPECT_EQ(EffectiveFlashSize(0, 0x200000), 0x200000);
    EXPECT_EQ(EffectiveFlashSize(0, 0x200001), 0x400000);
    EXPECT_EQ(EffectiveFlashSize(0, 0x10000000), 0x400000);
    EXPECT_EQ(EffectiveFlashSize(0x800000, 0x200001), 0x800000);
    EXPECT_EQ(EffectiveFlashSize(2.5, 0), 2);
}

TEST(CalculatorParts, Align64K) {
    const struct {
        std::int64_t value;
        bool up;
        std::int64_t result;
    } cases[] = {
        {0, false, 0},
        {0, true, 0},
        {0x10000, true, 0x10000},
        {0x10001, true, 0x20000},
        {0x17FFF, false, 0x10000},
        {0x18000, false, 0x20000},
        {0x28000, false, 0x20000},
        {0x2F0001, true, 0x300000},
        {-0x10000, false, -0x10000},
        {-0x8000, false, 0},
        {0x90081000, true, 0x90090000},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Align64K(c.value, c.up), c.result) << std::hex << c.value;
    }
}

TEST(CalculatorParts, HexAddressAndPartitionRange) {
    EXPECT_EQ(HexAddress(0x900A0000), "0x900A0000");
    EXPECT_EQ(HexAddress(0xABC), "0xABC");
    EXPECT_EQ(HexAddress(0), "0x0");
    EXPECT_EQ(HexAddress(0x1000), "0x1000");
    EXPECT_EQ(PartitionRange(false, false, 0x80000, 0x400000, 0, false, 0), "0x900A0000, 0x90400000");
    EXPECT_EQ(PartitionRange(true, true, 0x71000, 0x400000, 1, true, 0), "0x90010000, 0x900D0000");
    EXPECT_EQ(PartitionRange(true, false, 0x71000, 0x400000, 6, false, 0), "");
    // A d below 1 counts as no mtd5.
    EXPECT_EQ(PartitionRange(false, false, 0x80000, 0x400000, 4, false, -0x10000), "0x90020000, 0x90400000");
}

} // namespace
} // namespace flintor
