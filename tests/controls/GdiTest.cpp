#include "Gdi.h"

#include <QFontMetrics>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

namespace {

constexpr ColourValue kWhite = 0xFFFFFF;
constexpr ColourValue kRed = 0x0000FF;
constexpr ColourValue kBlue = 0xFF0000;

QImage whiteSurface(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

ColourValue at(const QImage& image, int x, int y) {
    return toColourValue(QColor(image.pixel(x, y)));
}

int countNotWhite(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += at(image, x, y) != kWhite;
    return count;
}

} // namespace

TEST(GdiRectangle, TwoPixelOutlineStraddlesEachEdge) {
    QImage image = whiteSurface(20, 12);
    gdi::Rectangle(image, {4, 3, 14, 9}, kRed, 2, std::nullopt);
    for (int x : {3, 4, 13, 14})
        EXPECT_EQ(at(image, x, 6), kRed) << "column " << x;
    for (int x : {2, 5, 12, 15})
        EXPECT_EQ(at(image, x, 6), kWhite) << "column " << x;
    for (int y : {2, 3, 8, 9})
        EXPECT_EQ(at(image, 8, y), kRed) << "row " << y;
    for (int y : {1, 4, 7, 10})
        EXPECT_EQ(at(image, 8, y), kWhite) << "row " << y;
    // The corners are closed.
    EXPECT_EQ(at(image, 3, 2), kRed);
    EXPECT_EQ(at(image, 14, 9), kRed);
}

TEST(GdiRectangle, OutlineAtTheSurfaceEdgeIsClipped) {
    // A frame round a whole 10 x 6 control: half of the pen falls outside and is lost.
    QImage image = whiteSurface(10, 6);
    gdi::Rectangle(image, {0, 0, 10, 6}, kBlue, 2, std::nullopt);
    EXPECT_EQ(at(image, 0, 3), kBlue);
    EXPECT_EQ(at(image, 9, 3), kBlue);
    EXPECT_EQ(at(image, 5, 0), kBlue);
    EXPECT_EQ(at(image, 5, 5), kBlue);
    EXPECT_EQ(at(image, 1, 1), kWhite);
    EXPECT_EQ(at(image, 8, 4), kWhite);
}

TEST(GdiRectangle, OnePixelOutlineCoversBothEdgeColumns) {
    // Concentric squares of the centre-out gradient rely on the right and bottom edges being drawn.
    QImage image = whiteSurface(100, 20);
    gdi::Rectangle(image, {30, -10, 70, 30}, kRed, 1, std::nullopt);
    EXPECT_EQ(at(image, 30, 5), kRed);
    EXPECT_EQ(at(image, 70, 5), kRed);
    EXPECT_EQ(at(image, 29, 5), kWhite);
    EXPECT_EQ(at(image, 71, 5), kWhite);
    EXPECT_EQ(at(image, 31, 5), kWhite);
}

TEST(GdiRectangle, FillLiesUnderTheOutlineAndStopsBeforeRightAndBottom) {
    QImage image = whiteSurface(20, 20);
    gdi::Rectangle(image, {5, 5, 15, 15}, kRed, 0, kBlue);
    EXPECT_EQ(at(image, 5, 5), kBlue);
    EXPECT_EQ(at(image, 14, 14), kBlue);
    EXPECT_EQ(at(image, 15, 10), kWhite);
    EXPECT_EQ(at(image, 10, 15), kWhite);

    gdi::Rectangle(image, {5, 5, 15, 15}, kRed, 2, kBlue);
    EXPECT_EQ(at(image, 10, 10), kBlue);
    EXPECT_EQ(at(image, 5, 10), kRed);
    EXPECT_EQ(at(image, 15, 10), kRed);
}

TEST(GdiLine, EndPointIsNotDrawn) {
    QImage image = whiteSurface(10, 10);
    gdi::Line(image, 0, 4, 10, 4, kRed);
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(at(image, x, 4), kRed);
    EXPECT_EQ(countNotWhite(image), 10);

    QImage vertical = whiteSurface(10, 10);
    gdi::Line(vertical, 2, 1, 2, 5, kRed);
    EXPECT_EQ(countNotWhite(vertical), 4);
    EXPECT_EQ(at(vertical, 2, 5), kWhite);

    QImage diagonal = whiteSurface(10, 10);
    gdi::Line(diagonal, 0, 0, 3, 3, kRed);
    EXPECT_EQ(countNotWhite(diagonal), 3);
    EXPECT_EQ(at(diagonal, 3, 3), kWhite);

    QImage dot = whiteSurface(4, 4);
    gdi::Line(dot, 1, 1, 1, 1, kRed);
    EXPECT_EQ(countNotWhite(dot), 0);
}

TEST(GdiLine, PixelsOutsideTheSurfaceAreSkipped) {
    QImage image = whiteSurface(5, 5);
    gdi::Line(image, 0, 5, 5, 5, kRed); // a row just below the surface
    gdi::Line(image, -3, 2, 2, 2, kRed);
    EXPECT_EQ(countNotWhite(image), 2);
}

TEST(GdiStretchBlt, NearestNeighbourDoublesEachPixel) {
    QImage source(3, 2, QImage::Format_RGB32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            source.setPixel(x, y, qRgb(x * 100, y * 100, 7));
    QImage target = whiteSurface(6, 4);
    gdi::StretchBlt(target, 0, 0, 6, 4, source, 0, 0, 3, 2);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(target.pixel(x, y), source.pixel(x / 2, y / 2)) << x << "," << y;
}

TEST(GdiStretchBlt, OddSizesAndDegenerateAreas) {
    QImage source(51, 1, QImage::Format_RGB32);
    for (int x = 0; x < 51; ++x)
        source.setPixel(x, 0, qRgb(x, x, x));
    QImage target = whiteSurface(103, 1);
    gdi::StretchBlt(target, 0, 0, 103, 1, source, 0, 0, 51, 1);
    EXPECT_EQ(qRed(target.pixel(0, 0)), 0);
    EXPECT_EQ(qRed(target.pixel(102, 0)), 50);
    EXPECT_EQ(qRed(target.pixel(51, 0)), 25);

    QImage untouched = whiteSurface(4, 4);
    gdi::StretchBlt(untouched, 0, 0, 0, 4, source, 0, 0, 51, 1);
    gdi::StretchBlt(untouched, 0, 0, 4, 4, QImage(), 0, 0, 0, 0);
    EXPECT_EQ(countNotWhite(untouched), 0);
}

TEST(GdiFont, LabelFontHeightComesFromPointsAndTwips) {
    QFont narrow("Arial Narrow");
    narrow.setPointSizeF(8.25);
    const QFont at96 = gdi::LogicalFont(narrow, 15);
    EXPECT_EQ(at96.pixelSize(), 11);
    EXPECT_EQ(at96.weight(), QFont::Normal);
    EXPECT_EQ(gdi::LogicalFont(narrow, 8).pixelSize(), 21); // 165 / 8 = 20.6

    QFont bold("Arial");
    bold.setPointSizeF(8.25);
    bold.setBold(true);
    bold.setItalic(true);
    const QFont built = gdi::LogicalFont(bold, 15);
    EXPECT_EQ(built.weight(), QFont::Bold);
    EXPECT_TRUE(built.italic());

    QFont longName(QString(40, 'x'));
    longName.setPointSize(9);
    EXPECT_EQ(gdi::LogicalFont(longName, 15).family().size(), 31);
}

TEST(GdiDrawText, AmpersandMarksTheAccessKeyAndIsNotShown) {
    QImage image = whiteSurface(300, 40);
    const QFont font = gdi::LogicalFont(QFont("Arial", 9), 15);
    const QFontMetrics metrics(font);

    WinRect withMark{0, 0, 300, 40};
    gdi::DrawText(image, font, 0, "&Calculate MTD values", withMark, gdi::DT_CALCRECT);
    WinRect plain{0, 0, 300, 40};
    gdi::DrawText(image, font, 0, "Calculate MTD values", plain, gdi::DT_CALCRECT);
    EXPECT_EQ(withMark.width(), plain.width());

    WinRect doubled{0, 0, 300, 40};
    gdi::DrawText(image, font, 0, "A && B", doubled, gdi::DT_CALCRECT);
    EXPECT_EQ(doubled.width(), metrics.horizontalAdvance("A & B"));
    EXPECT_EQ(countNotWhite(image), 0) << "measuring draws nothing";
}

TEST(GdiDrawText, MeasureKeepsTheCornerAndWrapsWithWordBreak) {
    QImage image = whiteSurface(10, 10);
    const QFont font = gdi::LogicalFont(QFont("Arial", 9), 15);
    const QFontMetrics metrics(font);

    WinRect oneLine{7, 9, 500, 100};
    const int height = gdi::DrawText(image, font, 0, "mtd0", oneLine, gdi::DT_CALCRECT | gdi::DT_NOCLIP);
    EXPECT_EQ(oneLine.left, 7);
    EXPECT_EQ(oneLine.top, 9);
    EXPECT_EQ(oneLine.bottom - oneLine.top, height);
    EXPECT_EQ(height, metrics.height());

    const int narrow = metrics.horizontalAdvance("Select you") + 2;
    WinRect wrapped{0, 0, narrow, 100};
    const int wrappedHeight = gdi::DrawText(image, font, 0, "Select you router's bootloader", wrapped,
                                            gdi::DT_CALCRECT | gdi::DT_WORDBREAK | gdi::DT_CENTER);
    EXPECT_GE(wrappedHeight, 3 * metrics.height());
    EXPECT_LE(wrapped.width(), narrow);

    WinRect empty{3, 4, 50, 50};
    EXPECT_EQ(gdi::DrawText(image, font, 0, "", empty, gdi::DT_CALCRECT), 0);
    EXPECT_EQ(empty, (WinRect{3, 4, 3, 4}));
}

TEST(GdiDrawText, DrawingReportsTheHeightItMeasures) {
    const QFont font = gdi::LogicalFont(QFont("Arial", 9), 15);
    const std::pair<const char*, unsigned> cases[] = {
        {"mtd0", gdi::DT_LEFT},
        {"&Calculate MTD values", gdi::DT_CENTER | gdi::DT_NOCLIP},
        {"Select you router's bootloader type", gdi::DT_WORDBREAK | gdi::DT_RIGHT},
    };
    for (const auto& [text, flags] : cases) {
        QImage image = whiteSurface(60, 80);
        WinRect measured{0, 0, 60, 80}, drawn = measured;
        EXPECT_EQ(gdi::DrawText(image, font, 0, text, drawn, flags),
                  gdi::DrawText(image, font, 0, text, measured, flags | gdi::DT_CALCRECT))
            << text;
    }
}

TEST(GdiDrawText, ClipsOnlyWithoutNoClip) {
    const QFont font = gdi::LogicalFont(QFont("Arial", 12), 15);
    QImage clipped = whiteSurface(200, 40);
    WinRect small{0, 0, 10, 40};
    gdi::DrawText(clipped, font, 0, "WWWWWW", small, gdi::DT_LEFT);
    QImage unclipped = whiteSurface(200, 40);
    WinRect same{0, 0, 10, 40};
    gdi::DrawText(unclipped, font, 0, "WWWWWW", same, gdi::DT_LEFT | gdi::DT_NOCLIP);

    auto inkRightOf = [](const QImage& image, int column) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = column; x < image.width(); ++x)
                count += image.pixel(x, y) != qRgb(255, 255, 255);
        return count;
    };
    EXPECT_EQ(inkRightOf(clipped, 10), 0);
    EXPECT_GT(inkRightOf(unclipped, 10), 0);
}

TEST(GdiDrawText, QuarterTurnRunsUpwardFromTheCorner) {
    const QFont font = gdi::LogicalFont(QFont("Arial", 9), 15);
    QImage image = whiteSurface(60, 100);
    WinRect corner{20, 80, 40, 100};
    gdi::DrawText(image, font, 0, "upright", corner, gdi::DT_NOCLIP, 900);
    int minX = 1000, maxX = -1, minY = 1000, maxY = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255)) {
                minX = std::min(minX, x), maxX = std::max(maxX, x);
                minY = std::min(minY, y), maxY = std::max(maxY, y);
            }
    const QFontMetrics metrics(font);
    EXPECT_GE(minX, 20) << "glyphs lie to the right of the corner";
    EXPECT_LE(maxX, 20 + metrics.height());
    EXPECT_LE(maxY, 80) << "the line runs up from the corner";
    EXPECT_GE(minY, 80 - metrics.horizontalAdvance("upright") - 1);
}

// On a surface of a higher device pixel ratio every shape is the picture it makes on a 1:1 surface,
// each pixel a block; at a fractional ratio the blocks still meet, leaving no gaps.
TEST(GdiDeviceRatio, ShapesAreTheOneToOnePictureInBlocks) {
    QImage source(3, 2, QImage::Format_RGB32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            source.setPixel(x, y, qRgb(x * 100, y * 100, 7));
    const std::pair<const char*, std::function<void(QImage&)>> shapes[] = {
        {"filled rectangle",
         [](QImage& s) {
             gdi::Rectangle(s, {2, 1, 9, 6}, kRed, 2, kBlue);
         }},
        {"frame clipped at the edges",
         [](QImage& s) {
             gdi::Rectangle(s, {0, 0, 12, 8}, kRed, 2, std::nullopt);
         }},
        {"outline past the edges",
         [](QImage& s) {
             gdi::Rectangle(s, {-3, -3, 20, 20}, kRed, 1, kBlue);
         }},
        {"slanted line", [](QImage& s) { gdi::Line(s, 1, 7, 11, 0, kRed); }},
        {"line leaving the surface", [](QImage& s) { gdi::Line(s, -2, 3, 15, 3, kBlue); }},
        {"stretch partly outside", [&](QImage& s) { gdi::StretchBlt(s, -1, 1, 13, 5, source, 0, 0, 3, 2); }},
    };
    for (const auto& [name, draw] : shapes) {
        QImage one = whiteSurface(12, 8);
        draw(one);
        for (const qreal ratio : {2.0, 3.0, 1.5}) {
            QImage fine = gdi::Surface(QSize(12, 8), ratio);
            ASSERT_EQ(fine.size(), QSize(gdi::DevicePixel(12, ratio), gdi::DevicePixel(8, ratio)));
            fine.fill(Qt::white);
            draw(fine);
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 12; ++x)
                    for (int dy = gdi::DevicePixel(y, ratio); dy < gdi::DevicePixel(y + 1, ratio); ++dy)
                        for (int dx = gdi::DevicePixel(x, ratio); dx < gdi::DevicePixel(x + 1, ratio); ++dx)
                            ASSERT_EQ(fine.pixel(dx, dy), one.pixel(x, y))
                                << name << " at ratio " << ratio << ", pixel " << x << "," << y;
        }
    }
}

TEST(GdiDeviceRatio, SurfaceSizeAndFit) {
    const QImage fine = gdi::Surface(QSize(5, 3), 1.5);
    EXPECT_EQ(fine.size(), QSize(8, 5)); // 7.5 and 4.5 rounded up at the half
    EXPECT_EQ(fine.devicePixelRatio(), 1.5);
    EXPECT_TRUE(gdi::SurfaceFits(fine, QSize(5, 3), 1.5));
    EXPECT_FALSE(gdi::SurfaceFits(fine, QSize(5, 3), 2));
    EXPECT_FALSE(gdi::SurfaceFits(fine, QSize(5, 4), 1.5));
    // A ratio that is not a positive number is taken as 1.
    for (const qreal odd : {0.0, -2.0, std::nan("")})
        EXPECT_EQ(gdi::Surface(QSize(5, 3), odd).size(), QSize(5, 3));
}
