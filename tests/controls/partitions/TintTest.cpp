#include "Tint.h"

#include "PartitionModel.h"

#include <gtest/gtest.h>

namespace {

struct TintCase {
    const char* piece;
    int hue;
    int red, green, blue;
};

class TintTable : public ::testing::TestWithParam<TintCase> {};

} // namespace

// The main window's colours and the designer's grey.
INSTANTIATE_TEST_SUITE_P(
    MainWindowColours, TintTable,
    ::testing::Values(TintCase{"FF", 0, 255, 230, 230}, TintCase{"FF4040", 240, 230, 230, 255},
                      TintCase{"1A93E0", 37, 255, 245, 230}, TintCase{"C000", 120, 230, 255, 230},
                      TintCase{"C0C000", 180, 230, 255, 255}, TintCase{"22BAB8", 61, 255, 255, 230},
                      TintCase{"800080", 300, 255, 230, 255}, TintCase{"52F0BE", 79, 247, 255, 230},
                      TintCase{"6E6E6E", 0, 255, 230, 230}));

TEST_P(TintTable, HueAndTintOfEachColour) {
    const TintCase& c = GetParam();
    const ColourValue colour = ParseColours(QString::fromLatin1(c.piece)).front();
    EXPECT_EQ(std::lrint(RgbToHsv(colour).hue), c.hue);
    EXPECT_EQ(TintColour(colour), c.red | c.green << 8 | c.blue << 16);
}

TEST(TintColour, GreysBlackAndWhiteTintLikeRed) {
    for (ColourValue grey : {0x000000, 0xFFFFFF, 0x808080})
        EXPECT_EQ(TintColour(grey), 0xE6E6FF) << std::hex << grey;
}

TEST(TintColour, HueRoundingUpTo360TintsLikePureRed) {
    // Red with a trace of blue: hue 359.76 rounds to 360, which is taken as 0.
    const ColourValue redWithBlue = 0x0100FF;
    EXPECT_GE(RgbToHsv(redWithBlue).hue, 359.5f);
    EXPECT_EQ(TintColour(redWithBlue), TintColour(0x0000FF));
    // Further from red (hue 356.5) it keeps a trace of blue in its tint.
    const ColourValue redWithMoreBlue = 0x0F00FF;
    EXPECT_LT(RgbToHsv(redWithMoreBlue).hue, 359.5f);
    EXPECT_NE(TintColour(redWithMoreBlue), TintColour(0x0000FF));
}

TEST(HsvToRgb, EachSixthOfTheCircle) {
    EXPECT_EQ(HsvToRgb(0, 100, 100), 0x0000FF);
    EXPECT_EQ(HsvToRgb(60, 100, 100), 0x00FFFF);
    EXPECT_EQ(HsvToRgb(120, 100, 100), 0x00FF00);
    EXPECT_EQ(HsvToRgb(180, 100, 100), 0xFFFF00);
    EXPECT_EQ(HsvToRgb(240, 100, 100), 0xFF0000);
    EXPECT_EQ(HsvToRgb(300, 100, 100), 0xFF00FF);
    // Half a byte rounds to the even neighbour: 0.5 × 255 = 127.5 → 128, 0.9 × 255 = 229.5 → 230.
    EXPECT_EQ(HsvToRgb(0, 50, 100), 128 << 8 | 128 << 16 | 255);
    EXPECT_EQ(HsvToRgb(0, 10, 100), 230 << 8 | 230 << 16 | 255);
}

TEST(ClampByte, HoldsValuesToAByte) {
    EXPECT_EQ(ClampByte(-1), 0);
    EXPECT_EQ(ClampByte(0), 0);
    EXPECT_EQ(ClampByte(255), 255);
    EXPECT_EQ(ClampByte(256), 255);
}
