// The separator line: placed over its bounding box in pixels and drawn one pixel wide.
#include "LineControl.h"

#include <QImage>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

TEST(LineControl, CoversTheLineFromEitherEndInPixels) {
    QWidget parent;
    LineControl line(&parent);
    struct Case {
        int x1, y1, x2, y2;
        QRect geometry;
    };
    for (const Case& c :
         {Case{0, 1200, 8040, 1200, QRect(0, 80, 536, 1)}, Case{8040, 1200, 0, 1200, QRect(0, 80, 536, 1)},
          Case{300, 0, 300, 1500, QRect(20, 0, 1, 100)}, Case{15, 15, 15, 15, QRect(1, 1, 1, 1)}}) {
        SCOPED_TRACE(testing::Message() << c.x1 << "," << c.y1 << " - " << c.x2 << "," << c.y2);
        line.place(c.x1, c.y1, c.x2, c.y2, 15);
        EXPECT_EQ(line.geometry(), c.geometry);
    }
}

TEST(LineControl, DrawsItsColourAlongTheLine) {
    QWidget parent;
    parent.resize(200, 200);
    LineControl line(&parent);
    line.setColour(QColor(0x80, 0x80, 0x80));
    EXPECT_EQ(line.colour(), QColor(0x80, 0x80, 0x80));

    line.place(0, 300, 1500, 300, 15); // horizontal, 100 pixels
    const QImage horizontal = line.grab().toImage();
    ASSERT_EQ(horizontal.size(), QSize(100, 1));
    EXPECT_EQ(horizontal.pixelColor(0, 0), QColor(0x80, 0x80, 0x80));
    EXPECT_EQ(horizontal.pixelColor(99, 0), QColor(0x80, 0x80, 0x80));

    line.setColour(Qt::red);
    line.place(150, 0, 150, 750, 15); // vertical, 50 pixels
    const QImage vertical = line.grab().toImage();
    ASSERT_EQ(vertical.size(), QSize(1, 50));
    EXPECT_EQ(vertical.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(vertical.pixelColor(0, 49), QColor(Qt::red));
}

TEST(LineControl, LetsTheMouseAndTheFocusPassThrough) {
    LineControl line;
    EXPECT_TRUE(line.testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(line.focusPolicy(), Qt::NoFocus);
}

} // namespace
