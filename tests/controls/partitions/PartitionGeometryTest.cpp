#include "PartitionGeometry.h"

#include <gtest/gtest.h>

namespace {

constexpr int kT = 15;

MapExtent pixels(int width, int height) {
    return MapExtent{static_cast<float>(width * kT), static_cast<float>(height * kT), kT};
}

std::vector<BarGeometry> bars(const QString& partitions, int width, int height,
                              const ColourTable& colours = ParseColours(kDefaultColours)) {
    return LayoutBars(ParsePartitions(partitions), colours, pixels(width, height));
}

} // namespace

TEST(LayoutBars, SideBySideRangesShareTheWidth) {
    const auto result = bars(kDefaultPartitions, 300, 40);
    ASSERT_EQ(result.size(), 2u);
    EXPECT_EQ(result[0].rect, (WinRect{0, 0, 150, 40}));
    EXPECT_EQ(result[1].rect, (WinRect{150, 0, 300, 40}));
    EXPECT_EQ(result[0].labelWidth, 150);
    EXPECT_EQ(result[0].colour, 0x000000);
    EXPECT_EQ(result[1].colour, 0x0000FF);
    EXPECT_EQ(result[1].fill, 0xE6E6FF);
}

TEST(LayoutBars, NestedRangesAreSteppedDownOneRowPerLevel) {
    const auto result = bars(QStringLiteral("fs:9,63;kernel:1,9;boot:0,1;config:63,64;both:1,63"), 640, 40);
    ASSERT_EQ(result.size(), 5u);
    EXPECT_EQ(result[0].rect, (WinRect{0, 0, 10, 40}));    // boot
    EXPECT_EQ(result[1].rect, (WinRect{10, 0, 630, 40}));  // both
    EXPECT_EQ(result[2].rect, (WinRect{10, 20, 90, 40}));  // kernel
    EXPECT_EQ(result[3].rect, (WinRect{90, 20, 630, 40})); // fs
    EXPECT_EQ(result[4].rect, (WinRect{630, 0, 640, 40})); // config
    EXPECT_EQ(result[2].label, QStringLiteral("kernel"));
}

TEST(LayoutBars, RowsOfThreeLevelsRoundHalvesToEven) {
    // 41 pixels over three rows: 13.67 per row, so the second row starts at 14 and the third at 27.
    const auto result = bars(QStringLiteral("0,10;1,9;2,8"), 100, 41);
    EXPECT_EQ(result[1].rect.top, 14);
    EXPECT_EQ(result[2].rect.top, 27);
    EXPECT_EQ(result[2].rect.bottom, 41);
}

TEST(LayoutBars, PositionsRoundInTwipsThenInPixels) {
    // 0..3 of 0..7 across 100 pixels: 642.857 twips → 643 → 42.87 pixels → 43.
    const auto result = bars(QStringLiteral("0,3;3,7"), 100, 20);
    EXPECT_EQ(result[0].rect.right, 43);
    EXPECT_EQ(result[1].rect.left, 43);
    EXPECT_EQ(result[1].labelWidth, 57);
}

TEST(LayoutBars, ZeroSpanCoversTheWholeWidth) {
    for (const QString& text : {QStringLiteral("x:5,5"), QStringLiteral(""), QStringLiteral("0,0;0,0")}) {
        const auto result = bars(text, 120, 30);
        ASSERT_FALSE(result.empty());
        for (const BarGeometry& bar : result) {
            EXPECT_EQ(bar.rect.left, 0) << text.toStdString();
            EXPECT_EQ(bar.rect.right, 120) << text.toStdString();
            EXPECT_EQ(bar.labelWidth, 120) << text.toStdString();
        }
    }
}

TEST(LayoutBars, RangesTooFarApartForOneDoubleStillScale) {
    const auto result = bars(QStringLiteral("-1e308,0;0,1e308"), 200, 20);
    EXPECT_EQ(result[0].rect, (WinRect{0, 0, 100, 20}));
    EXPECT_EQ(result[1].rect, (WinRect{100, 0, 200, 20}));
}

TEST(LayoutBars, AbsurdEndsStayWithinDrawableCoordinates) {
    const auto result = bars(QStringLiteral("0,1;5,-1e300"), 200, 20);
    for (const BarGeometry& bar : result) {
        EXPECT_GE(bar.rect.right, -(1 << 24));
        EXPECT_GE(bar.labelWidth, -(1 << 24));
    }
}

TEST(LayoutBars, ZeroSizedControlGivesEmptyBars) {
    const auto result = bars(kDefaultPartitions, 0, 0);
    EXPECT_EQ(result[1].rect, (WinRect{0, 0, 0, 0}));
}

TEST(LabelFits, ExactlyAsWideAsTheBarDoesNotFit) {
    EXPECT_TRUE(LabelFits(14 * kT, 15, kT));
    EXPECT_FALSE(LabelFits(15 * kT, 15, kT));
    EXPECT_FALSE(LabelFits(16 * kT, 15, kT));
    EXPECT_FALSE(LabelFits(0, 0, kT));
}

TEST(RotatedBounds, QuarterTurnMapsXYToYMinusX) {
    // A 20 × 13 text box at (10, 5): its corners go to (5, -10), (5, -30), (18, -30), (18, -10). The
    // maximum y starts at 0, so the box reaches from -30 to 0.
    EXPECT_EQ(RotatedBounds(WinRect{10, 5, 30, 18}, 90), (WinRect{5, -30, 18, 0}));
    EXPECT_EQ(RotatedBounds(WinRect{0, 0, 20, 13}, 90), (WinRect{0, -20, 13, 0}));
}

TEST(RotatedBounds, SeedsClampBoxesFarOutside) {
    EXPECT_EQ(RotatedBounds(WinRect{1200, 1100, 1300, 1400}, 0), (WinRect{1000, 1000, 1300, 1400}));
    EXPECT_EQ(RotatedBounds(WinRect{-30, -20, -10, -5}, 0), (WinRect{-30, -20, 0, 0}));
}

TEST(PlaceLabelBox, HorizontalLabelSitsAtTheTopLeftCorner) {
    const WinRect area{40, 20, 140, 41};
    EXPECT_EQ(PlaceLabelBox(area, WinRect{40, 20, 75, 33}, 0), (WinRect{40, 20, 75, 33}));
}

TEST(PlaceLabelBox, UprightLabelStartsHalfALineBelowTheMiddle) {
    // Line height 13, text 20 long, in a level-0 bar of a 41-pixel control: (41 + 13) / 2 = 27.
    const WinRect level0{40, 0, 50, 41};
    const WinRect measured0 = RotatedBounds(WinRect{40, 0, 60, 13}, 90);
    EXPECT_EQ(PlaceLabelBox(level0, measured0, 90), (WinRect{40, 27, 53, 27 + 60}));
    // A bar at level 1 (top 20): the top is counted from the control's top, (41 - 20 + 13) / 2 = 17.
    const WinRect level1{40, 20, 50, 41};
    const WinRect measured1 = RotatedBounds(WinRect{40, 20, 60, 33}, 90);
    EXPECT_EQ(PlaceLabelBox(level1, measured1, 90).top, 17);
    // Before the first resize the area's bottom is 0: (0 - 20 + 13) / 2 truncates to -3.
    const WinRect unsized{40, 20, 50, 0};
    EXPECT_EQ(PlaceLabelBox(unsized, measured1, 90).top, -3);
}
