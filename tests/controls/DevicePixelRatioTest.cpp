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

QScreen* screenOfRatio(qreal ratio) {
    for (QScreen* screen : QGuiApplication::screens())
        if (screen->devicePixelRatio() == ratio)
            return screen;
    return nullptr;
}

/// Shows `widget` on the screen of `ratio` as its own window.
void showOn(QWidget& widget, qreal ratio) {
    QScreen* screen = screenOfRatio(ratio);
    ASSERT_NE(screen, nullptr);
    widget.setScreen(screen);
    widget.move(screen->geometry().topLeft());
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    ASSERT_EQ(widget.devicePixelRatioF(), ratio);
}

/// The 1:1 picture with every pixel drawn as a 2 x 2 block.
QImage blocks(const QImage& image) {
    QImage scaled = image.scaled(image.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    scaled.setDevicePixelRatio(2);
    return scaled;
}

/// The columns (in logical pixels) where `fine` differs from the blocks of `coarse`.
QPair<int, int> differingColumns(const QImage& coarse, const QImage& fine) {
    const QImage expected = blocks(coarse);
    int first = -1, last = -1;
    for (int x = 0; x < fine.width(); ++x)
        for (int y = 0; y < fine.height(); ++y)
            if (fine.pixel(x, y) != expected.pixel(x, y)) {
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

/// A step heading as the window shows it, with `caption`.
std::unique_ptr<QWidget> heading(const QString& caption, int direction, int resolution) {
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

std::unique_ptr<QWidget> button(const QString& caption, bool enabled) {
    auto button = std::make_unique<OrvoSimpleButton>();
    button->InitProperties();
    button->setCaption(caption);
    button->setEnabled(enabled);
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

QImage imageOf(const QWidget& widget) {
    if (auto* label = qobject_cast<const OrvoLabel*>(&widget))
        return label->image();
    if (auto* button = qobject_cast<const OrvoSimpleButton*>(&widget))
        return button->image();
    return qobject_cast<const OrvoPartitions*>(&widget)->image();
}

struct Case {
    const char* name;
    std::function<std::unique_ptr<QWidget>()> make;
    /// The columns that hold the caption, or none where there is no text.
    std::optional<QPair<int, int>> textColumns;
};

} // namespace

TEST(DevicePixelRatio, ShapesAreBlocksOfTheOneToOnePictureAndTextIsFiner) {
    const int headingText = QFontMetrics(gdi::LogicalFont(headingFont(), 15)).horizontalAdvance("Flintor");
    const Case cases[] = {
        {"heading without caption", [] { return heading("", 1, 50); }, std::nullopt},
        {"heading from the centre at 30 %", [] { return heading("", 2, 30); }, std::nullopt},
        {"heading left to right", [] { return heading("", 0, 100); }, std::nullopt},
        // The halo reaches one pixel past the text on either side.
        {"heading with caption", [] { return heading("Flintor", 1, 50); }, QPair(0, headingText + 1)},
        {"button without caption", [] { return button("", true); }, std::nullopt},
        {"disabled button without caption", [] { return button("", false); }, std::nullopt},
        {"button with caption", [] { return button("&Go", true); }, QPair(55, 81)},
        {"map without labels", [] { return map(false); }, std::nullopt},
        {"map with labels", [] { return map(true); }, QPair(0, 536)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto one = c.make();
        const auto two = c.make();
        showOn(*one, 1);
        showOn(*two, 2);
        const QImage coarse = imageOf(*one);
        const QImage fine = imageOf(*two);
        ASSERT_EQ(coarse.devicePixelRatio(), 1);
        ASSERT_EQ(fine.devicePixelRatio(), 2);
        ASSERT_EQ(fine.size(), coarse.size() * 2);
        if (!c.textColumns) {
            EXPECT_TRUE(fine == blocks(coarse));
            continue;
        }
        const auto [first, last] = differingColumns(coarse, fine);
        ASSERT_GE(first, 0) << "the text is drawn as blocks";
        EXPECT_GE(first, c.textColumns->first);
        EXPECT_LE(last, c.textColumns->second);
    }
}

TEST(DevicePixelRatio, ControlMovedToAScreenOfAnotherRatioDrawsForIt) {
    const auto label = heading("Flintor", 1, 50);
    const auto reference = heading("Flintor", 1, 50);
    const auto partitions = map(true);
    const auto referenceMap = map(true);
    showOn(*label, 1);
    showOn(*partitions, 1);
    showOn(*reference, 2);
    showOn(*referenceMap, 2);
    ASSERT_EQ(imageOf(*label).devicePixelRatio(), 1);

    showOn(*label, 2);
    showOn(*partitions, 2);
    EXPECT_TRUE(imageOf(*label) == imageOf(*reference));
    EXPECT_TRUE(imageOf(*partitions) == imageOf(*referenceMap));
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
