#include "modMisc.h"

#include <climits>
#include <cmath>
#include <gtest/gtest.h>
#include <locale>

namespace flintor {
namespace {

TEST(RoundHalfEven, ExactHalvesGoToTheEvenNeighbour) {
    const struct {
        double in;
        double out;
    } cases[] = {{0.5, 0},   {1.5, 2},    {2.5, 2},    {3.5, 4},      {-0.5, -0},           {-1.5, -2},
                 {-2.5, -2}, {2.4999, 2}, {2.5001, 3}, {-2.5001, -3}, {4194304.5, 4194304}, {1e300, 1e300}};
    for (const auto& c : cases) {
        EXPECT_EQ(RoundHalfEven(c.in), c.out) << c.in;
        EXPECT_EQ(RoundHalfEven(static_cast<float>(c.in)), static_cast<float>(c.out)) << c.in;
    }
}

TEST(RoundHalfEven, ToIntSaturatesAndMapsNanToZero) {
    EXPECT_EQ(RoundToInt(14.5), 14);
    EXPECT_EQ(RoundToInt(15.5), 16);
    EXPECT_EQ(RoundToInt(1e12), INT_MAX);
    EXPECT_EQ(RoundToInt(-1e12), INT_MIN);
    EXPECT_EQ(RoundToInt(std::nan("")), 0);
}

TEST(PathHelpers, AddBackslashAddsOnlyAMissingSeparator) {
    EXPECT_EQ(AddBackslash("C:\\", '\\'), "C:\\");
    EXPECT_EQ(AddBackslash("C:\\fw", '\\'), "C:\\fw\\");
    EXPECT_EQ(AddBackslash("", '\\'), "\\");
    EXPECT_EQ(AddBackslash("/home/fw", '/'), "/home/fw/");
    EXPECT_EQ(AddBackslash("/", '/'), "/");
}

TEST(PathHelpers, FileNameAndFolderWithBackslashes) {
    EXPECT_EQ(FileNameOf("image.bin", '\\'), "image.bin");
    EXPECT_EQ(FileNameOf("C:\\fw\\image.bin", '\\'), "image.bin");
    EXPECT_EQ(FileNameOf("C:\\fw\\", '\\'), "");
    EXPECT_EQ(FolderOf("C:\\fw\\", '\\'), "C:\\fw\\");
    EXPECT_EQ(FolderOf("C:\\fw\\image.bin", '\\'), "C:\\fw\\");
    EXPECT_EQ(FolderOf("C:\\fw\\tools", '\\'), "C:\\fw\\tools");
}

TEST(PathHelpers, PlatformSeparatorIsTheDefault) {
#ifdef _WIN32
    EXPECT_EQ(AddBackslash("C:\\fw"), "C:\\fw\\");
    EXPECT_EQ(FileNameOf("C:\\fw\\image.bin"), "image.bin");
    EXPECT_EQ(FolderOf("C:\\fw\\image.bin"), "C:\\fw\\");
#else
    EXPECT_EQ(AddBackslash("/home/fw"), "/home/fw/");
    EXPECT_EQ(FileNameOf("/srv/fw/image.bin"), "image.bin");
    EXPECT_EQ(FolderOf("/srv/fw/image.bin"), "/srv/fw/");
    EXPECT_EQ(FolderOf("/srv/fw/tools"), "/srv/fw/tools");
    // A backslash is an ordinary character in a name here.
    EXPECT_EQ(FileNameOf("/srv/a\\b.bin"), "a\\b.bin");
#endif
}

TEST(TextHelpers, CountOfCountsOverlappingMatches) {
    EXPECT_EQ(CountOf("aaa", "aa"), 2);
    EXPECT_EQ(CountOf("a,b,c", ","), 2);
    EXPECT_EQ(CountOf("abc", ","), 0);
    EXPECT_EQ(CountOf("abc", ""), 0);
    EXPECT_EQ(CountOf("a\r\n\r\nb", "\r\n"), 2);
}

TEST(TextHelpers, FieldOfSplitsAtEverySeparator) {
    const struct {
        const char* text;
        const char* separator;
        int n;
        const char* field;
    } cases[] = {
        {"a,b,c", ",", 3, "c"},
        {"a,b,c", ",", 4, ""},
        {"a,,c", ",", 2, ""},
        {"a,,c", ",", 3, "c"},
        {"abc", ":", 1, "abc"},
        {"abc", ":", 2, ""},
        {"mtd0: 0x1, 0x2", ":", 2, " 0x1, 0x2"},
        {"a::b::c", "::", 3, "c"},
        {"", ",", 1, ""},
        {"a,b", ",", 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FieldOf(c.text, c.separator, c.n), c.field) << c.text << " field " << c.n;
    }
}

TEST(TextHelpers, CollapseSeparatorReducesRunsAndTrims) {
    EXPECT_EQ(CollapseSeparator("a;;;b;c;;", ";", true), "a;b;c");
    EXPECT_EQ(CollapseSeparator("a;;;b;c;;", ";", false), "a;b;c;");
    EXPECT_EQ(CollapseSeparator("a;b", ";", true), "a;b");
    EXPECT_EQ(CollapseSeparator(";;a;;b", ";", false), ";a;b");
    EXPECT_EQ(CollapseSeparator("\r\n\r\na\r\n\r\n\r\nb\r\n", "\r\n", true), "a\r\nb");
    // A single line break at either end goes too, so that a list of lines never starts with an empty one.
    EXPECT_EQ(CollapseSeparator("\r\na\r\nb", "\r\n", true), "a\r\nb");
    EXPECT_EQ(CollapseSeparator("\r\na\r\nb", "\r\n", false), "\r\na\r\nb");
}

TEST(NumberHelpers, HexToDecimalTextIsUnsignedAndUnlimited) {
    EXPECT_EQ(HexToDecimalText("90010000"), "2415984640");
    EXPECT_EQ(HexToDecimalText("903f0000"), "2420047872");
    EXPECT_EQ(HexToDecimalText("FF"), "255");
    EXPECT_EQ(HexToDecimalText(""), "0");
    EXPECT_EQ(HexToDecimalText("FFFFFFFF"), "4294967295");
    EXPECT_EQ(HexToDecimalText("100000000"), "4294967296");
    EXPECT_EQ(HexToDecimalText("FFFFFFFFFFFFFFFF"), "18446744073709551615");
    EXPECT_EQ(HexToDecimalText("10000000000000000"), "18446744073709551616");
}

TEST(NumberHelpers, BitIsSetCountsBitsFromOne) {
    EXPECT_TRUE(BitIsSet(1, 1));
    EXPECT_FALSE(BitIsSet(1, 2));
    EXPECT_TRUE(BitIsSet(0xA, 4));
    EXPECT_TRUE(BitIsSet(0x80000000LL, 32));
    EXPECT_TRUE(BitIsSet(-1, 64));
    EXPECT_FALSE(BitIsSet(-1, 0));
    EXPECT_FALSE(BitIsSet(-1, 65));
}

class SizeTextTest : public ::testing::Test {
protected:
    void SetUp() override { m_saved = std::locale::global(std::locale::classic()); }
    void TearDown() override { std::locale::global(m_saved); }

private:
    std::locale m_saved;
};

TEST_F(SizeTextTest, UnitsByRange) {
    const struct {
        double bytes;
        const char* text;
    } cases[] = {
        {0, "0.00 B "},        {512, "512.00 B "},      {1023, "1023.00 B "},
        {1023.5, "1023.5 ??"}, {1024, "1.00 KB"},       {65536, "64.00 KB"},
        {917504, "896.00 KB"}, {1048575, "1024.00 KB"}, {1048575.5, "1048575.5 ??"},
        {1048576, "1.00 MB"},  {1572864, "1.50 MB"},    {1073741824, "1.00 GB"},
        {-65536, "-65536 ??"}, {-0.5, "-0.5 ??"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SizeText(c.bytes), c.text) << c.bytes;
    }
}

struct CommaDecimal : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

TEST_F(SizeTextTest, DecimalSeparatorComesFromTheGlobalLocale) {
    std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    EXPECT_EQ(SizeText(917504), "896,00 KB");
    EXPECT_EQ(SizeText(1023.5), "1023,5 ??");
    // No grouping: the pattern has none.
    EXPECT_EQ(SizeText(1023), "1023,00 B ");
}

} // namespace
} // namespace flintor
