#include "GradientPainter.h"

#include <gtest/gtest.h>

using namespace gradient;

namespace {

constexpr ColourValue kWhite = 0xFFFFFF;
constexpr ColourValue kRed = 0x0000FF;
constexpr ColourValue kGreen = 0x00FF00;

QImage surface(int width, int height, ColourValue fill = kWhite) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(toQColor(fill));
    return image;
}

ColourValue at(const QImage& image, int x, int y) {
    return toColourValue(QColor(image.pixel(x, y)));
}

} // namespace

TEST(GradientValues, SplitColourTakesTheThreeColourBytes) {
    EXPECT_EQ(SplitColour(0x123456), (ColourTriple{0x56, 0x34, 0x12}));
    EXPECT_EQ(SplitColour(0), (ColourTriple{0, 0, 0}));
    EXPECT_EQ(SplitColour(static_cast<ColourValue>(0x80FFFFFFu)), (ColourTriple{255, 255, 255}));
}

TEST(GradientValues, GetFieldCountsFromOneAndGivesEmptyBeyondTheLast) {
    EXPECT_EQ(GetField("33,15725555", ",", 1), "33");
    EXPECT_EQ(GetField("33,15725555", ",", 2), "15725555");
    EXPECT_EQ(GetField("33", ",", 2), ""); // a stop without its colour
    EXPECT_EQ(GetField("a,,b", ",", 2), "");
    EXPECT_EQ(GetField("a,b", ",", 0), "");
}

TEST(GradientValues, LeadingNumberReadsTheLongestDecimalPrefix) {
    const struct {
        const char* text;
        double value;
    } cases[] = {{"33", 33}, {"12.5x", 12.5}, {" 7", 7}, {"-3", -3}, {".5", 0.5}, {"1e2", 100},
                 {"1e", 1},  {"1e+", 1},      {"", 0},   {"abc", 0}, {"-", 0},    {"16777215", 16777215}};
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(LeadingNumber(QString::fromLatin1(c.text)), c.value) << c.text;
}

TEST(GradientValues, StopListsOfTheControls) {
    EXPECT_EQ(LabelTriColourStops(0xFFFFFF, 0xEFF3F3, 0xC5D0D6),
              "0,16777215#33,15725555#66,15725555#100,12964054");
    EXPECT_EQ(LabelStops(0xFFFFFF, 0xC5D0D6), "0,16777215#100,12964054");
    EXPECT_EQ(ButtonStops(0xFFFFFF, 0x59C4FA, 0xEFF3F3, 0xC5D0D6),
              "0,16777215#10,5883130#90,15725555#100,12964054");
    // The disabled look has no light band.
    EXPECT_EQ(DisabledButtonStops(0xC0C0C0, 0xEFF3F3, 0xC5D0D6), "0,12632256#90,15725555#100,12964054");
    // A system colour left unresolved (read back from a layout) goes into the list as its current value.
    EXPECT_EQ(LabelStops(static_cast<ColourValue>(0x8000000Fu), 0),
              "0," + QString::number(SystemColour(15)) + "#100,0");
}

TEST(GradientPaint, BlackToWhiteOnFiftyOneRowsDrawsFiftyTwoLines) {
    QImage pic = surface(4, 51);
    QImage image = surface(4, 51);
    EXPECT_EQ(PaintGradient(pic, image, "0,0#100,16777215", TopToBottom, image.size()), 52);
    for (int y = 0; y < 51; ++y) {
        const ColourValue grey = 5 * y * 0x010101;
        ASSERT_EQ(at(pic, 0, y), grey) << "row " << y;
        ASSERT_EQ(at(pic, 3, y), grey) << "row " << y;
    }
    EXPECT_EQ(image, pic);
}

TEST(GradientPaint, StopPixelsRoundHalfToEven) {
    // 33 % of 12 is 3.96 -> 4 and 66 % is 7.92 -> 8; 25 % of 10 is 2.5 -> 2 and 75 % is 7.5 -> 8.
    struct Case {
        int extent;
        const char* stops;
        int peak;
        int trough;
    } cases[] = {{12, "0,0#33,255#66,0#100,255", 4, 8}, {10, "0,0#25,255#75,0#100,255", 2, 8}};
    for (const auto& c : cases) {
        QImage pic = surface(c.extent, 1);
        QImage image = surface(c.extent, 1);
        PaintGradient(pic, image, c.stops, LeftToRight, image.size());
        EXPECT_EQ(at(pic, c.peak, 0), kRed) << c.stops;
        EXPECT_NE(at(pic, c.peak - 1, 0), kRed) << c.stops;
        EXPECT_NE(at(pic, c.peak + 1, 0), kRed) << c.stops;
        EXPECT_EQ(at(pic, c.trough, 0), 0) << c.stops;
        EXPECT_NE(at(pic, c.trough - 1, 0), 0) << c.stops;
    }
}

TEST(GradientPaint, DirectionsRunAlongTheirAxis) {
    QImage pic = surface(10, 6);
    QImage image = surface(10, 6);
    PaintGradient(pic, image, "0,0#100,255", LeftToRight, image.size());
    EXPECT_EQ(at(pic, 0, 0), 0);
    EXPECT_EQ(at(pic, 0, 5), 0);
    EXPECT_GT(at(pic, 9, 0), at(pic, 5, 0));
    EXPECT_EQ(at(pic, 9, 0), at(pic, 9, 5));

    PaintGradient(pic, image, "0,0#100,255", TopToBottom, image.size());
    EXPECT_EQ(at(pic, 9, 0), 0);
    EXPECT_GT(at(pic, 0, 5), at(pic, 0, 3));
    EXPECT_EQ(at(pic, 0, 5), at(pic, 9, 5));
}

TEST(GradientPaint, CentreOutwardsLeavesTheEndsOfALongSurface) {
    QImage pic = surface(100, 20);
    QImage image = surface(100, 20);
    PaintGradient(pic, image, "0,255#100,65280", CentreOutwards, image.size());
    const ColourValue background = SurfaceBackground();
    for (int y = 0; y < 20; ++y) {
        for (int x : {0, 29, 71, 99})
            ASSERT_EQ(at(pic, x, y), background) << x << "," << y;
        for (int x : {30, 50, 70})
            ASSERT_NE(at(pic, x, y), background) << x << "," << y;
    }
    EXPECT_EQ(at(pic, 50, 10), kRed);   // the centre is the first stop
    EXPECT_EQ(at(pic, 30, 10), kGreen); // half-size 20 is the last
}

TEST(GradientPaint, EmptyListLeavesBothImagesAlone) {
    QImage pic = surface(8, 8, kRed);
    QImage image = surface(16, 16, kGreen);
    const QImage before = image;
    EXPECT_EQ(PaintGradient(pic, image, "", TopToBottom, image.size()), 0);
    EXPECT_EQ(image, before);
    EXPECT_EQ(at(pic, 4, 4), kRed);
}

TEST(GradientPaint, ZeroLengthSegmentIsOneStepInItsEndColour) {
    QImage pic = surface(10, 1);
    QImage image = surface(10, 1);
    // 50 % twice: the second segment has no length; the third starts from its colour.
    EXPECT_EQ(PaintGradient(pic, image, "0,255#50,0#50,65280#100,65280", LeftToRight, image.size()),
              6 + 1 + 6);
    EXPECT_EQ(at(pic, 5, 0), kGreen);
    EXPECT_EQ(at(pic, 9, 0), kGreen);
    EXPECT_EQ(at(pic, 0, 0), kRed);

    // A one-pixel surface puts the stops of a button's list on pixels 0, 0, 1 and 1: the 10 % colour
    // replaces the light band on the only row.
    QImage thin = surface(5, 1);
    QImage face = surface(10, 2);
    PaintGradient(thin, face, ButtonStops(0xFFFFFF, 0x59C4FA, 0xEFF3F3, 0xC5D0D6), TopToBottom, face.size());
    EXPECT_EQ(at(face, 3, 0), 0x59C4FA);
    EXPECT_EQ(at(face, 3, 1), 0x59C4FA);
}

TEST(GradientPaint, StopsOutOfOrderDrawNothingForTheirSegment) {
    QImage pic = surface(10, 1);
    QImage image = surface(10, 1);
    // 80 -> 20 goes backwards; painting resumes from pixel 2 in green.
    PaintGradient(pic, image, "0,255#80,255#20,65280#100,65280", LeftToRight, image.size());
    EXPECT_EQ(at(pic, 1, 0), kRed);
    for (int x = 2; x < 10; ++x)
        EXPECT_EQ(at(pic, x, 0), kGreen) << x;
}

TEST(GradientPaint, StopsAtOppositeExtremesBlendAcrossTheSurfaceOnly) {
    // Both positions saturate, one at each end of the int range: the segment between them is the
    // widest there is, and only the steps that can touch the surface are drawn. The surface lies in
    // the middle of the segment, so it shows the colour half way from red to green.
    QImage pic = surface(10, 1);
    QImage image = surface(10, 1);
    EXPECT_EQ(PaintGradient(pic, image, "-1e12,255#1e12,65280", LeftToRight, image.size()), 2 + 10 + 3);
    for (int x : {0, 9}) {
        const ColourTriple c = SplitColour(at(pic, x, 0));
        EXPECT_NEAR(c.R, 128, 1) << x;
        EXPECT_NEAR(c.G, 128, 1) << x;
        EXPECT_EQ(c.B, 0) << x;
    }
}

TEST(GradientPaint, UnknownDirectionShowsTheClearedSurface) {
    QImage pic = surface(6, 4, kRed);
    QImage image = surface(12, 8, kRed);
    PaintGradient(pic, image, "0,0#100,16777215", 7, image.size());
    EXPECT_EQ(at(image, 0, 0), SurfaceBackground());
    EXPECT_EQ(at(image, 11, 7), SurfaceBackground());
}

TEST(GradientPaint, HalfResolutionStepsCoverTwoControlPixels) {
    QImage pic = surface(4, 10);
    QImage image = surface(8, 20);
    PaintGradient(pic, image, "0,0#100,16777215", TopToBottom, image.size());
    for (int y = 0; y < 20; y += 2) {
        EXPECT_EQ(at(image, 0, y), at(image, 0, y + 1)) << y;
        EXPECT_EQ(at(image, 0, y), at(pic, 0, y / 2)) << y;
    }
}

TEST(GradientSurface, SizeFollowsResolutionAndNeverVanishes) {
    const QSize current(7, 7);
    EXPECT_EQ(SurfaceSize(50, {137, 25}, current), QSize(68, 12)); // 68.5 and 12.5 round to even
    EXPECT_EQ(SurfaceSize(50, {537, 17}, current), QSize(268, 8));
    EXPECT_EQ(SurfaceSize(100, {537, 17}, current), QSize(537, 17));
    EXPECT_EQ(SurfaceSize(0, {137, 25}, current), QSize(1, 1));
    EXPECT_EQ(SurfaceSize(-40, {137, 25}, current), QSize(1, 1));
    EXPECT_EQ(SurfaceSize(50, {0, 0}, current), QSize(1, 1));
    // Larger than any surface that can be made: drawing goes on with the one there is.
    EXPECT_EQ(SurfaceSize(32767, {537, 17}, current), current);

    QImage pic(7, 7, QImage::Format_RGB32);
    SizeSurface(pic, 0, {137, 25});
    EXPECT_EQ(pic.size(), QSize(1, 1));
    QImage image = surface(137, 25);
    PaintGradient(pic, image, ButtonStops(0xFFFFFF, 0xEFF3F3, 0xEFF3F3, 0xC5D0D6), TopToBottom, image.size());
    EXPECT_EQ(at(image, 0, 0), 0xEFF3F3); // one flat step of the main band
    EXPECT_EQ(at(image, 136, 24), 0xEFF3F3);
}

TEST(GradientCaption, PlacedTopIsCentredAndTruncatedTowardZero) {
    EXPECT_EQ(PlaceCaption({0, 0, 537, 17}, 15), (WinRect{0, 1, 537, 17}));
    EXPECT_EQ(PlaceCaption({0, 0, 137, 25}, 14), (WinRect{0, 5, 137, 25}));
    EXPECT_EQ(PlaceCaption({0, 0, 100, 10}, 15), (WinRect{0, -2, 100, 10})); // -2.5 -> -2
    EXPECT_EQ(MeasureCaption(QFont(), "", {0, 0, 100, 10}), 0);
    // Wrapped to the control's width, a long caption is measured on several lines.
    const QString words = "one two three four five six seven eight nine ten";
    EXPECT_GT(MeasureCaption(QFont(), words, {0, 0, 40, 10}),
              2 * MeasureCaption(QFont(), words, {0, 0, 2000, 10}));
}

TEST(GradientCaption, LabelAlignmentFlags) {
    EXPECT_EQ(LabelAlignmentFlags(0), 0x110u);
    EXPECT_EQ(LabelAlignmentFlags(1), 0x112u);
    EXPECT_EQ(LabelAlignmentFlags(2), 0x111u);
    EXPECT_EQ(LabelAlignmentFlags(3), std::nullopt);
    EXPECT_EQ(LabelAlignmentFlags(-1), std::nullopt);
}

TEST(GradientCaption, ShownTextDropsTheMarks) {
    EXPECT_EQ(ShownText("&Calculate MTD values"), "Calculate MTD values");
    EXPECT_EQ(ShownText("Save && Exit"), "Save & Exit");
    EXPECT_EQ(ShownText("Trailing&"), "Trailing");
}

TEST(GradientCaption, HaloSurroundsTheBlackText) {
    QFont font("Arial");
    font.setPixelSize(14);
    const WinRect placed{0, 0, 60, 20};
    auto count = [](const QImage& image, auto test) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += test(SplitColour(at(image, x, y)));
        return n;
    };
    auto dark = [](ColourTriple c) { return c.R < 0x40 && c.G < 0x40 && c.B < 0x40; };
    auto red = [](ColourTriple c) { return c.R > 0xC0 && c.G < 0x40 && c.B < 0x40; };
    QImage plain = surface(60, 20);
    DrawCaption(plain, font, "HI", placed, 0x110);
    QImage halo = surface(60, 20);
    DrawCaption(halo, font, "HI", placed, 0x110, kRed);
    EXPECT_EQ(count(plain, red), 0);
    EXPECT_GT(count(halo, red), 0);
    EXPECT_GT(count(plain, dark), 0);
    // The main text is drawn last, over the halo.
    EXPECT_EQ(count(halo, dark), count(plain, dark));
}

TEST(GradientFrame, FrameLiesAlongTheEdges) {
    QImage image = surface(20, 10);
    DrawFrame(image, image.size(), 0x743C00);
    for (auto [x, y] : {std::pair{0, 5}, {19, 5}, {10, 0}, {10, 9}, {0, 0}, {19, 9}})
        EXPECT_EQ(at(image, x, y), 0x743C00) << x << "," << y;
    EXPECT_EQ(at(image, 1, 1), kWhite);
    EXPECT_EQ(at(image, 18, 8), kWhite);
}
