#include "LenientNumber.h"

#include <clocale>
#include <cmath>
#include <gtest/gtest.h>

namespace flintor {
namespace {

TEST(LenientNumber, ReadsTheLongestLeadingNumber) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"4", 4},       {"1.5", 1.5},    {" 1 . 5 ", 1.5}, {"1 000", 1000},  {"-2", -2},    {"+3", 3},
        {".5", 0.5},    {"5.", 5},       {"1e3", 1000},    {"1.5E-1", 0.15}, {"2e", 2},     {"2e+", 2},
        {"3MB", 3},     {"0x400000", 0}, {"", 0},          {"abc", 0},       {"-", 0},      {".", 0},
        {"1.2.3", 1.2}, {"\t7\n", 7},    {"12,5", 12},     {"-.25", -0.25},  {"1e-400", 0}, {"1e+3", 1000},
    };
    for (const auto& c : cases) {
        const LenientNumber n = ReadLenientNumber(c.text);
        EXPECT_EQ(n.value, c.value) << '"' << c.text << '"';
        EXPECT_FALSE(n.hex) << c.text;
        EXPECT_FALSE(n.overflow) << c.text;
    }
}

TEST(LenientNumber, ReadsHexadecimalAfterAmpersandH) {
    const struct {
        const char* text;
        double value;
        int digits;
    } cases[] = {
        {"&H400000", 0x400000, 6},
        {"&h3f0000", 0x3F0000, 6},
        {"& H 3F 00 00", 0x3F0000, 6},
        {"&HFFFF", 65535, 4},
        {"&HFFFFFFFF", 4294967295.0, 8},
        {"&H", 0, 0},
        {"&H12G4", 0x12, 2},
        {"&H0x400000", 0, 1},
        {"&H000000001", 1, 9},
        {"&H123456789A", 0x123456789A, 10},
    };
    for (const auto& c : cases) {
        const LenientNumber n = ReadLenientNumber(c.text);
        EXPECT_TRUE(n.hex) << c.text;
        EXPECT_EQ(n.value, c.value) << c.text;
        EXPECT_EQ(n.hexDigits, c.digits) << c.text;
        EXPECT_EQ(n.hexTooLong(), c.digits > 8) << c.text;
    }
}

TEST(LenientNumber, OverflowIsReportedNotWrapped) {
    const LenientNumber big = ReadLenientNumber("1e400");
    EXPECT_TRUE(big.overflow);
    EXPECT_TRUE(std::isinf(big.value) && big.value > 0);
    const LenientNumber negative = ReadLenientNumber("-1e309");
    EXPECT_TRUE(negative.overflow);
    EXPECT_LT(negative.value, 0);
    EXPECT_FALSE(ReadLenientNumber("0.0001e-400").overflow);
}

TEST(LenientNumber, ExponentsAtTheLimitsOfAnIntegerStillOverflowOrUnderflow) {
    // Exponents that fit a 64-bit integer exactly, with mantissas whose own order adds to them.
    const LenientNumber big = ReadLenientNumber("140001400999999999e9223372036854775807");
    EXPECT_TRUE(big.overflow);
    EXPECT_TRUE(std::isinf(big.value) && big.value > 0);
    const LenientNumber tiny = ReadLenientNumber("-0.00001e-9223372036854775807");
    EXPECT_FALSE(tiny.overflow);
    EXPECT_EQ(tiny.value, 0);
    EXPECT_TRUE(ReadLenientNumber("1e99999999999999999999999").overflow);
}

TEST(LenientNumber, DecimalPointIsAlwaysAPointWhateverTheCLocale) {
    // A locale with a decimal comma: Windows has it, tools/deps.sh creates it on Debian.
#ifdef _WIN32
    const char* const commaLocale = "German_Germany.1252";
#else
    const char* const commaLocale = "de_DE.UTF-8";
#endif
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    ASSERT_NE(std::setlocale(LC_NUMERIC, commaLocale), nullptr) << "no locale " << commaLocale;
    EXPECT_STREQ(std::localeconv()->decimal_point, ",");
    EXPECT_EQ(ReadLenientNumber("1.5").value, 1.5);
    EXPECT_EQ(ReadLenientNumber("1,5").value, 1);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

} // namespace
} // namespace flintor
