#include "OrvoPartitions.h"

#include <QDir>
#include <QFontMetrics>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <memory>
#include <random>

namespace {

constexpr ColourValue kWhite = 0xFFFFFF;
constexpr ColourValue kBlack = 0x000000;
constexpr ColourValue kRed = 0x0000FF;
constexpr ColourValue kGreen = 0x00FF00;
constexpr ColourValue kBlue = 0xFF0000;
constexpr ColourValue kPaleRed = 0xE6E6FF; // 255, 230, 230

const QString kMainWindowColours = QStringLiteral("FF,FF4040,1A93E0,C000,C0C000,22BAB8,800080,52F0BE");

ColourValue at(const OrvoPartitions& map, int x, int y) {
    return toColourValue(QColor(map.image().pixel(x, y)));
}

// A map as a host shows it: sized, told of the size, and given its texts.
std::unique_ptr<OrvoPartitions> makeMap(int width, int height) {
    auto map = std::make_unique<OrvoPartitions>();
    map->resize(width, height);
    map->Resize();
    return map;
}

QFont arialNarrow() {
    QFont font(QStringLiteral("Arial Narrow"));
    font.setPointSizeF(8.25);
    return font;
}

// The box round the pixels that are neither background nor `ignore` inside the bar's outline.
QRect inkBounds(const QImage& image, QRect inside) {
    QRect bounds;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (toColourValue(QColor(image.pixel(x, y))) != kWhite)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

} // namespace

// Bars, outlines and fills on the persistent picture.
TEST(OrvoPartitionsPixels, TwoOutlinedBarsWithoutFill) {
    auto map = makeMap(300, 40);
    ASSERT_EQ(map->twipsPerPixel(), 15);
    ASSERT_TRUE(map->setColours(QString()));
    ASSERT_TRUE(map->setPartitions(QString()));
    ASSERT_EQ(map->image().size(), QSize(300, 40));
    EXPECT_EQ(map->colours(), kDefaultColours);
    EXPECT_EQ(map->partitions(), QStringLiteral("0,1;1,2"));

    EXPECT_EQ(at(*map, 0, 20), kBlack);
    EXPECT_EQ(at(*map, 1, 20), kWhite);
    EXPECT_EQ(at(*map, 75, 0), kBlack);
    EXPECT_EQ(at(*map, 75, 1), kWhite);
    EXPECT_EQ(at(*map, 75, 38), kWhite);
    EXPECT_EQ(at(*map, 75, 39), kBlack);
    EXPECT_EQ(at(*map, 148, 20), kWhite);
    // The red bar, drawn second, paints its outline over the black bar's right edge.
    EXPECT_EQ(at(*map, 149, 20), kRed);
    EXPECT_EQ(at(*map, 150, 20), kRed);
    EXPECT_EQ(at(*map, 151, 20), kWhite);
    EXPECT_EQ(at(*map, 225, 0), kRed);
    EXPECT_EQ(at(*map, 225, 20), kWhite);
    EXPECT_EQ(at(*map, 298, 20), kWhite);
    EXPECT_EQ(at(*map, 299, 20), kRed);
}

TEST(OrvoPartitionsPixels, FilledBarsTakeTheTintOfTheirColour) {
    auto map = makeMap(300, 40);
    map->setColours(QString());
    map->setPartitions(QString());
    map->setFillParts(true);
    EXPECT_EQ(at(*map, 75, 20), kPaleRed); // the tint of black
    EXPECT_EQ(at(*map, 225, 20), kPaleRed);
    EXPECT_EQ(at(*map, 1, 1), kPaleRed);
    EXPECT_EQ(at(*map, 0, 20), kBlack);
    EXPECT_EQ(at(*map, 150, 20), kRed);
}

TEST(OrvoPartitionsPixels, ContainedBarsStartHalfWayDown) {
    auto map = makeMap(640, 40);
    map->setColours(QString());
    map->setPartitions(QStringLiteral("fs:9,63;kernel:1,9;boot:0,1;config:63,64;both:1,63"));
    ASSERT_FALSE(map->hasLabelFont());
    // kernel (green) and fs (blue) start at y 20: their 2-pixel top edges cover rows 19 and 20.
    for (const auto& [x, colour] : {std::pair{50, kGreen}, std::pair{300, kBlue}}) {
        EXPECT_EQ(at(*map, x, 0), kRed) << x; // the containing bar "both"
        EXPECT_EQ(at(*map, x, 18), kWhite) << x;
        EXPECT_EQ(at(*map, x, 19), colour) << x;
        EXPECT_EQ(at(*map, x, 20), colour) << x;
        EXPECT_EQ(at(*map, x, 21), kWhite) << x;
        EXPECT_EQ(at(*map, x, 39), colour) << x;
    }
    // boot (black) and config (colour 4, yellow) start at the top.
    EXPECT_EQ(at(*map, 5, 0), kBlack);
    EXPECT_EQ(at(*map, 635, 0), 0x00FFFF);
    EXPECT_EQ(at(*map, 5, 20), kWhite);
    EXPECT_EQ(at(*map, 635, 20), kWhite);
}

TEST(OrvoPartitionsPixels, BarsBeyondTheLastColourTakeColourZero) {
    auto map = makeMap(500, 20);
    map->setColours(QStringLiteral("FF,C000,FF0000"));
    map->setPartitions(QStringLiteral("0,1;1,2;2,3;3,4;4,5"));
    EXPECT_EQ(at(*map, 50, 0), kRed);
    EXPECT_EQ(at(*map, 150, 0), 0x00C000);
    EXPECT_EQ(at(*map, 250, 0), kBlue);
    EXPECT_EQ(at(*map, 350, 0), kRed);
    EXPECT_EQ(at(*map, 450, 0), kRed);
}

TEST(OrvoPartitionsPixels, MainWindowColoursFillWithTheirTints) {
    auto map = makeMap(800, 20);
    map->setColours(kMainWindowColours);
    map->setPartitions(QStringLiteral("0,1;1,2;2,3;3,4;4,5;5,6;6,7;7,8"));
    map->setFillParts(true);
    const ColourValue tints[] = {0xE6E6FF, 0xFFE6E6, 0xE6F5FF, 0xE6FFE6,
                                 0xFFFFE6, 0xE6FFFF, 0xFFE6FF, 0xE6FFF7};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(at(*map, i * 100 + 50, 10), tints[i]) << "bar " << i;
}

TEST(OrvoPartitionsPixels, ZeroSpanDrawsOneFullWidthBar) {
    auto map = makeMap(120, 30);
    ASSERT_TRUE(map->setPartitions(QStringLiteral("5,5")));
    EXPECT_EQ(at(*map, 0, 15), kBlack);
    EXPECT_EQ(at(*map, 119, 15), kBlack);
    EXPECT_EQ(at(*map, 60, 15), kWhite);
}

TEST(OrvoPartitionsPixels, ReversedRangeIsDrawnBetweenItsEnds) {
    auto map = makeMap(100, 20);
    map->setColours(QStringLiteral("FF"));
    map->setPartitions(QStringLiteral("0,10;6,4"));
    // 6..4 lies inside 0..10, one row down: the box from x 40 to 60, y 10 to 20, outlined all round.
    EXPECT_EQ(at(*map, 50, 10), kRed);
    EXPECT_EQ(at(*map, 50, 14), kWhite);
    EXPECT_EQ(at(*map, 40, 14), kRed);
    EXPECT_EQ(at(*map, 60, 14), kRed);
}

TEST(OrvoPartitionsPixels, AbsurdRangesDrawWithoutFailing) {
    auto map = makeMap(200, 20);
    for (const QString& text : {QStringLiteral("0,1;5,-1e300"), QStringLiteral("-1e308,1e308;0,1"),
                                QStringLiteral("x:1e-300,2e-300"), QStringLiteral("-5,-1")})
        EXPECT_TRUE(map->setPartitions(text)) << text.toStdString();
}

TEST(OrvoPartitionsPixels, RandomTextsEitherDrawOrFailCleanly) {
    auto map = makeMap(120, 30);
    map->setLabelFont(map->font());
    std::mt19937 random(11);
    const QString alphabet = QStringLiteral("0123456789:;,.-+eE&Hh x");
    for (int round = 0; round < 400; ++round) {
        QString text;
        const int length = static_cast<int>(random() % 40);
        for (int i = 0; i < length; ++i)
            text += alphabet[static_cast<int>(random() % alphabet.size())];
        if (!map->setPartitions(text)) {
            EXPECT_FALSE(map->parseError().isEmpty()) << text.toStdString();
        }
        map->setColours(text);
        EXPECT_EQ(map->image().size(), QSize(120, 30));
    }
}

TEST(OrvoPartitionsPixels, BackColourClearsTheSurface) {
    auto map = makeMap(100, 20);
    map->setPartitions(QStringLiteral("a:0,1;b:1,10"));
    map->setBackColour(0x123456);
    EXPECT_EQ(at(*map, 5, 10), 0x123456);
    map->setBackColour(static_cast<ColourValue>(0x80000005));
    EXPECT_EQ(at(*map, 5, 10), SystemColour(5));
    EXPECT_EQ(map->backColour(), static_cast<ColourValue>(0x80000005));
}

// Labels.
TEST(OrvoPartitionsLabels, LabelThatFitsSitsAtTheTopLeftInTheBarsColour) {
    auto map = makeMap(200, 60);
    map->setColours(QStringLiteral("FF4040"));
    map->setLabelFont(map->font());
    map->setPartitions(QStringLiteral("kernel:0,1"));
    const QRect ink = inkBounds(map->image(), QRect(1, 1, 197, 57));
    ASSERT_TRUE(ink.isValid());
    EXPECT_LE(ink.top(), 3);
    EXPECT_LE(ink.left(), 2);
    EXPECT_GT(ink.width(), ink.height());
    EXPECT_LT(ink.bottom(), QFontMetrics(map->font()).height() + 1);
    // Full-strength pixels of the text are the bar's colour.
    bool barColour = false;
    for (int y = ink.top(); y <= ink.bottom(); ++y)
        for (int x = ink.left(); x <= ink.right(); ++x)
            barColour = barColour || at(*map, x, y) == 0xFF4040;
    EXPECT_TRUE(barColour);
}

TEST(OrvoPartitionsLabels, LabelExactlyAsWideAsItsBarIsDrawnUpright) {
    const QString label = QStringLiteral("Kernel");
    auto map = makeMap(10, 100);
    const int width = QFontMetrics(map->font()).horizontalAdvance(label);
    map->resize(width, 100);
    map->Resize();
    map->setLabelFont(map->font());
    map->setColours(QStringLiteral("FF"));
    map->setPartitions(label + QStringLiteral(":0,1"));
    const QRect upright = inkBounds(map->image(), QRect(1, 1, width - 2, 97));
    ASSERT_TRUE(upright.isValid());
    EXPECT_GT(upright.height(), upright.width());
    EXPECT_LE(upright.left(), 3);
    // The text reads upward from half a line below the middle: (100 + line height) / 2.
    const int start = (100 + QFontMetrics(gdi::LogicalFont(map->font(), 15)).height()) / 2;
    EXPECT_NEAR(upright.bottom(), start, 3);
    EXPECT_NEAR(upright.height(), width, 4);

    // One pixel more and the label fits across.
    map->resize(width + 1, 100);
    map->Resize();
    const QRect across = inkBounds(map->image(), QRect(1, 1, width - 1, 97));
    ASSERT_TRUE(across.isValid());
    EXPECT_GT(across.width(), across.height());
    EXPECT_LE(across.top(), 3);
}

TEST(OrvoPartitionsLabels, NoLabelFontNoLabels) {
    auto map = makeMap(200, 40);
    map->setLabelFont(map->font());
    map->setPartitions(QStringLiteral("boot:0,1"));
    ASSERT_TRUE(inkBounds(map->image(), QRect(2, 2, 196, 36)).isValid());
    map->clearLabelFont();
    EXPECT_FALSE(map->hasLabelFont());
    EXPECT_FALSE(inkBounds(map->image(), QRect(2, 2, 196, 36)).isValid());
}

// Property writes, change notices and failures.
TEST(OrvoPartitionsProperties, EveryWriteEndsWithOneNoticeNamingTheProperty) {
    auto map = makeMap(100, 20);
    QSignalSpy notices(map.get(), &OrvoPartitions::propertyChanged);
    QSignalSpy fills(map.get(), &OrvoPartitions::fillPartsChanged);
    map->setColours(QStringLiteral("FF"));
    map->setPartitions(QStringLiteral("0,1"));
    map->setLabelFont(arialNarrow());
    map->clearLabelFont();
    map->setBackColour(0x101010);
    map->setFillParts(true);
    const QStringList expected{"Colours", "Partitions", "LabelFont", "LabelFont", "BackColour", "FillParts"};
    ASSERT_EQ(notices.count(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(notices.at(i).at(0).toString(), expected[i]);
    EXPECT_EQ(fills.count(), 1);
}

TEST(OrvoPartitionsProperties, QtPropertiesReachTheSetters) {
    auto map = makeMap(100, 20);
    EXPECT_TRUE(map->setProperty("Partitions", QStringLiteral("a:0,1;b:1,3")));
    EXPECT_EQ(map->layout().PartTable.size(), 2u);
    map->setProperty("FillParts", true);
    EXPECT_TRUE(map->fillParts());
    map->setProperty("BackColour", 0x00FF00);
    EXPECT_EQ(map->property("BackColour").toInt(), 0x00FF00);
    map->setProperty("LabelFont", arialNarrow());
    EXPECT_EQ(map->labelFont().family(), QStringLiteral("Arial Narrow"));
    EXPECT_EQ(map->property("Colours").toString(), QString());
}

TEST(OrvoPartitionsProperties, FailedParseKeepsTheTextButNotifiesAndDrawsNothing) {
    auto map = makeMap(100, 20);
    map->setPartitions(QStringLiteral("0,1;1,2"));
    map->setColours(QStringLiteral("FF,C000"));
    const QImage before = map->image().copy();
    const PartitionLayout layoutBefore = map->layout();
    QSignalSpy notices(map.get(), &OrvoPartitions::propertyChanged);

    EXPECT_FALSE(map->setPartitions(QStringLiteral("0,1e999")));
    EXPECT_EQ(map->partitions(), QStringLiteral("0,1e999"));
    EXPECT_FALSE(map->parseError().isEmpty());
    EXPECT_EQ(map->layout().PartTable, layoutBefore.PartTable);

    EXPECT_FALSE(map->setColours(QStringLiteral("FF,123456789")));
    EXPECT_EQ(map->colours(), QStringLiteral("FF,123456789"));
    EXPECT_EQ(map->colourTable(), (ColourTable{0xFF, 0xC000}));

    EXPECT_EQ(notices.count(), 0);
    EXPECT_EQ(map->image(), before);

    // The next good write clears the error and notifies again.
    EXPECT_TRUE(map->setColours(QStringLiteral("FF")));
    EXPECT_TRUE(map->parseError().isEmpty());
    EXPECT_EQ(notices.count(), 1);
}

TEST(OrvoPartitionsProperties, SizeHintIsTheMainWindowsMap) {
    OrvoPartitions map;
    EXPECT_EQ(map.sizeHint(), QSize(537, 41));
}

// The host's notifications and the property bag.
TEST(OrvoPartitionsHost, NewInstanceShowsOneBlackBarUntilReloaded) {
    auto placed = std::make_unique<OrvoPartitions>();
    placed->InitProperties();
    placed->resize(200, 30);
    placed->show(); // the host's resize notice comes with the first show
    EXPECT_EQ(placed->clientRect(), (WinRect{0, 0, 200, 30}));
    EXPECT_EQ(placed->partitions(), QStringLiteral("0,1;1,2"));
    EXPECT_EQ(placed->layout().PartTable.size(), 1u);
    EXPECT_EQ(at(*placed, 0, 15), kBlack);
    EXPECT_EQ(at(*placed, 199, 15), kBlack);
    EXPECT_EQ(at(*placed, 100, 0), kBlack);

    PropertyBag bag;
    placed->WriteProperties(bag);
    EXPECT_EQ(bag.count(), 0) << "every value equals its default";

    auto reloaded = makeMap(200, 30);
    ASSERT_TRUE(reloaded->ReadProperties(bag));
    EXPECT_EQ(reloaded->layout().PartTable.size(), 2u);
    EXPECT_EQ(at(*reloaded, 150, 0), kRed);
    EXPECT_TRUE(reloaded->hasLabelFont());
    EXPECT_EQ(reloaded->labelFont(), reloaded->font());
}

TEST(OrvoPartitionsHost, ValuesRoundTripThroughTheBag) {
    auto original = makeMap(537, 41);
    original->InitProperties();
    original->setColours(kMainWindowColours);
    original->setPartitions(QStringLiteral("mtd partitions:0,1"));
    original->setLabelFont(arialNarrow());
    original->setBackColour(0x00E0E0);
    original->setFillParts(true);
    PropertyBag bag;
    original->WriteProperties(bag);
    EXPECT_EQ(bag.count(), 5);

    auto copy = makeMap(537, 41);
    ASSERT_TRUE(copy->ReadProperties(bag));
    EXPECT_EQ(copy->colours(), kMainWindowColours);
    EXPECT_EQ(copy->partitions(), QStringLiteral("mtd partitions:0,1"));
    EXPECT_EQ(copy->labelFont(), arialNarrow());
    EXPECT_EQ(copy->backColour(), 0x00E0E0);
    EXPECT_TRUE(copy->fillParts());
    EXPECT_EQ(copy->image(), original->image());
}

TEST(OrvoPartitionsHost, LoadTakesStoredTextsAsTheyAre) {
    PropertyBag bag;
    bag.write(QStringLiteral("PARTITIONS"), QString(), QStringLiteral("0,1;1,2"));
    bag.write(QStringLiteral("colours"), QStringLiteral("C000"), QString());
    bag.write(QStringLiteral("LabelFont"), QVariant(), QVariant(QFont()));
    auto map = makeMap(100, 20);
    ASSERT_TRUE(map->ReadProperties(bag));
    // An empty stored text stays empty: one range from 0 to 0, drawn across the whole width.
    EXPECT_EQ(map->partitions(), QString());
    EXPECT_EQ(map->layout().PartTable.size(), 1u);
    EXPECT_EQ(at(*map, 0, 10), 0x00C000);
    EXPECT_EQ(at(*map, 99, 10), 0x00C000);
    EXPECT_FALSE(map->hasLabelFont());

    // A map without a label font saves and loads as one.
    PropertyBag saved;
    map->WriteProperties(saved);
    auto copy = makeMap(100, 20);
    copy->ReadProperties(saved);
    EXPECT_FALSE(copy->hasLabelFont());
}

TEST(OrvoPartitionsHost, FailedLoadKeepsThePicture) {
    auto map = makeMap(100, 20);
    map->setPartitions(QStringLiteral("0,1;1,3"));
    const QImage before = map->image().copy();
    PropertyBag bag;
    bag.write(QStringLiteral("Partitions"), QStringLiteral("0,1;2,3e400"), QString());
    bag.write(QStringLiteral("Colours"), QStringLiteral("FF"), QString());
    EXPECT_FALSE(map->ReadProperties(bag));
    EXPECT_EQ(map->partitions(), QStringLiteral("0,1;2,3e400"));
    EXPECT_EQ(map->colourTable(), ColourTable{0}) << "neither table changes";
    EXPECT_EQ(map->layout().PartTable.size(), 2u);
    EXPECT_EQ(map->image(), before);
}

TEST(OrvoPartitionsHost, ResizeRedrawsAtTheNewSize) {
    auto map = makeMap(300, 40);
    map->setColours(QString());
    map->setPartitions(QString());
    map->resize(200, 30);
    EXPECT_EQ(map->image().size(), QSize(300, 40)) << "nothing is drawn before the host's notice";
    map->Resize();
    EXPECT_EQ(map->image().size(), QSize(200, 30));
    EXPECT_EQ(at(*map, 100, 15), kRed);
    EXPECT_EQ(map->clientRect(), (WinRect{0, 0, 200, 30}));
}
