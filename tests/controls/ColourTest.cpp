#include "Colour.h"

#include <QGuiApplication>
#include <QPalette>

#include <gtest/gtest.h>

TEST(Colour, ValuesKeepRedInTheLowByte) {
    EXPECT_EQ(toQColor(0x0000FF), QColor(255, 0, 0));
    EXPECT_EQ(toQColor(0xFF4040), QColor(0x40, 0x40, 0xFF));
    EXPECT_EQ(toColourValue(QColor(0x1A, 0x93, 0xE0)), 0xE0931A);
    EXPECT_EQ(toQColor(static_cast<ColourValue>(0xFF00FF00)), QColor(0, 255, 0)) << "top byte ignored";
}

TEST(Colour, SystemColourReferencesResolveThroughThePalette) {
    const QPalette palette = QGuiApplication::palette();
    EXPECT_EQ(ResolveColour(static_cast<ColourValue>(0x80000005)), toColourValue(palette.color(QPalette::Base)));
    EXPECT_EQ(ResolveColour(static_cast<ColourValue>(0x80000008)), toColourValue(palette.color(QPalette::Text)));
    EXPECT_EQ(ResolveColour(static_cast<ColourValue>(0x8000000F)),
              toColourValue(palette.color(QPalette::Button)));
    EXPECT_EQ(ResolveColour(static_cast<ColourValue>(0x800000FF)), 0) << "an unknown number is black";
}

TEST(Colour, OtherValuesPassUnchanged) {
    for (ColourValue value : {0, 0xFFFFFF, 0x7FFFFFFF, static_cast<ColourValue>(0x81000005),
                              static_cast<ColourValue>(0xFFFFFFFF), static_cast<ColourValue>(0x7F000005)})
        EXPECT_EQ(ResolveColour(value), value) << std::hex << value;
}

TEST(Colour, TwipsPerPixelAtTheOffscreenDpi) {
    // The offscreen platform reports 96 dots per inch.
    EXPECT_EQ(TwipsPerPixelX(), 15);
    EXPECT_EQ(TwipsPerPixelY(), 15);
}
