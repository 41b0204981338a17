// The self-drawn controls on a screen scaled by 2, side by side with the same control on a screen of
// ratio 1: their shapes (gradient steps, frames, bars, outlines) are the 1:1 picture with every
// pixel a 2 x 2 block, while their captions and labels are drawn at the finer resolution.
#include "OffscreenEnvironment.h"
#include "OrvoLabel.h"
#include "OrvoPartitions.h"
#include "OrvoSimpleButton.h"

#include <QApplication>
#include <QFontMetrics>
#include <QScreen>
#include <QTemporaryFile>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

/// Shows `widget` as a window of its own on the screen of `ratio`.
void showOn(QWidget& widget, qreal ratio) {
    for (QScreen* screen : QGuiApplication::screens())
        if (screen->devicePixelRatio() == ratio) {
            widget.setScreen(screen);
            widget.move(screen->geometry().topLeft());
        }
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    ASSERT_EQ(widget.devicePixelRatioF(), ratio);
}

QImage imageOf(const QWidget& widget) {
    if (auto* control = qobject_cast<const GradientControl*>(&widget))
        return control->image();
    return qobject_cast<const OrvoPartitions*>(&widget)->image();
}

/// The first and last column (logical pixels) where `fine` differs from the 2 x 2 blocks of
/// `coarse`; -1 and -1 where it does not.
std::pair<int, int> columnsUnlikeBlocks(const QImage& coarse, const QImage& fine) {
    int first = -1, last = -1;
    for (int x = 0; x < fine.width(); ++x)
        for (int y = 0; y < fine.height(); ++y)
            if (fine.pixel(x, y) != coarse.pixel(x / 2, y / 2)) {
                first = first < 0 ? x / 2 : first;
                last = x / 2;
                break;
            }
    return {first, last};
}

QFont headingFont() {
    QFont arial("Arial");
    arial.setPointSizeF(8.25);
    arial.setBold(true);
    return arial;
}

/// A step heading as the window shows it, framed, with `caption`.
std::unique_ptr<QWidget> heading(const QString& caption, int direction = 1, int resolution = 50) {
    auto label = std::make_unique<OrvoLabel>();
    label->InitProperties();
    label->setCaption(caption);
    label->setNormalColour(0xC0E0FF);
    label->setLabelFont(headingFont());
    label->setTriColour(true);
    label->setDrawOuter(true);
    label->setDrawBorder(true);
    label->setGradientDirection(direction);
    label->setResolution(static_cast<std::int16_t>(resolution));
    label->resize(537, 17);
    return label;
}

std::unique_ptr<QWidget> button(const QString& caption) {
    auto button = std::make_unique<OrvoSimpleButton>();
    button->InitProperties();
    button->setCaption(caption);
    // Each button is a window of its own: the one shown last would take the focus and its look.
    button->setFocusPolicy(Qt::NoFocus);
    button->resize(137, 25);
    return button;
}

std::unique_ptr<QWidget> map(bool labels) {
    auto map = std::make_unique<OrvoPartitions>();
    map->resize(537, 41);
    map->setColours("FF,FF4040,1A93E0,C000,C0C000,22BAB8");
    map->setPartitions("mtd2:0,10;mtd3:10,20;mtd1:20,30;mtd4:20,400;mtd0:40,400;mtd5:400,420");
    map->setFillParts(true);
    if (labels)
        map->setLabelFont(headingFont());
    else
        map->clearLabelFont();
    return map;
}

} // namespace

TEST(DevicePixelRatio, ShapesAreBlocksOfTheOneToOnePictureAndTextIsFiner) {
    const int headingText = QFontMetrics(gdi::LogicalFont(headingFont(), 15)).horizontalAdvance("Flintor");
    // Each control, and the columns its text may take (none: no text, the pictures are equal).
    const std::tuple<const char*, std::function<std::unique_ptr<QWidget>()>, std::pair<int, int>> cases[] = {
        {"heading without caption", [] { return heading(""); }, {-1, -1}},
        {"heading from the centre at 30 %", [] { return heading("", 2, 30); }, {-1, -1}},
        // The halo reaches one pixel past the text.
        {"heading with caption", [] { return heading("Flintor"); }, {0, headingText + 1}},
        {"button without caption", [] { return button(""); }, {-1, -1}},
        {"button with caption", [] { return button("&Go"); }, {55, 81}},
        {"map without labels", [] { return map(false); }, {-1, -1}},
        {"map with labels", [] { return map(true); }, {0, 536}},
    };
    for (const auto& [name, make, textColumns] : cases) {
        SCOPED_TRACE(name);
        const auto one = make();
        const auto two = make();
        showOn(*one, 1);
        showOn(*two, 2);
        const QImage coarse = imageOf(*one);
        const QImage fine = imageOf(*two);
        ASSERT_EQ(fine.devicePixelRatio(), 2);
        ASSERT_EQ(fine.size(), coarse.size() * 2);
        const auto [first, last] = columnsUnlikeBlocks(coarse, fine);
        if (textColumns.first < 0) {
            EXPECT_EQ(first, -1) << "a shape differs at column " << first;
        } else {
            EXPECT_GE(first, textColumns.first) << "the text is drawn as blocks";
            EXPECT_LE(last, textColumns.second);
        }
    }
}

TEST(DevicePixelRatio, ControlMovedToAScreenOfAnotherRatioDrawsForIt) {
    for (const auto& make :
         {std::function([] { return heading("Flintor"); }), std::function([] { return map(true); })}) {
        const auto moved = make();
        const auto reference = make();
        showOn(*moved, 1);
        showOn(*reference, 2);
        ASSERT_EQ(imageOf(*moved).devicePixelRatio(), 1);
        showOn(*moved, 2);
        EXPECT_TRUE(imageOf(*moved) == imageOf(*reference));
    }
}

int main(int argc, char** argv) {
    // Two screens side by side: one of ratio 1 and one scaled by 2.
    QTemporaryFile screens;
    if (!screens.open())
        return 1;
    screens.write(R"({"screens": [
        {"name": "one", "x": 0, "y": 0, "width": 1000, "height": 800, "logicalDpi": 96, "dpr": 1},
        {"name": "two", "x": 1000, "y": 0, "width": 2000, "height": 1600, "logicalDpi": 96, "dpr": 2}]})");
    screens.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toLocal8Bit());
    prepareOffscreenEnvironment();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
