#include "PartitionModel.h"

#include <QElapsedTimer>
#include <QStringList>
#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

struct Range {
    const char* label;
    double start;
    double end;
    int level;
};

void expectTable(const PartitionLayout& layout, const std::vector<Range>& expected) {
    ASSERT_EQ(layout.PartTable.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const PartitionEntry& entry = layout.PartTable[i];
        EXPECT_EQ(entry.Label, QString::fromUtf8(expected[i].label)) << "position " << i;
        EXPECT_EQ(entry.Start, expected[i].start) << "position " << i;
        EXPECT_EQ(entry.End, expected[i].end) << "position " << i;
        EXPECT_EQ(entry.Level, expected[i].level) << "position " << i;
    }
}

QString repeated(const QString& piece, int count, QChar separator) {
    QStringList pieces;
    for (int i = 0; i < count; ++i)
        pieces << piece;
    return pieces.join(separator);
}

} // namespace

// How entries, labels and ranges are cut out of the text.
TEST(ParsePartitions, DefaultTextGivesTwoSideBySideRanges) {
    const PartitionLayout layout = ParsePartitions(QStringLiteral("0,1;1,2"));
    expectTable(layout, {{"", 0, 1, 0}, {"", 1, 2, 0}});
    EXPECT_EQ(layout.MinStart, 0);
    EXPECT_EQ(layout.MaxEnd, 2);
    EXPECT_EQ(layout.MaxLevel, 0);
}

TEST(ParsePartitions, FieldsBeyondTheSecondSeparatorAreIgnored) {
    expectTable(ParsePartitions(QStringLiteral("a:b:c")), {{"a", 0, 0, 0}});
    expectTable(ParsePartitions(QStringLiteral("0,1,7")), {{"", 0, 1, 0}});
}

TEST(ParsePartitions, MissingEndReadsAsZero) {
    const PartitionLayout layout = ParsePartitions(QStringLiteral("5"));
    expectTable(layout, {{"", 5, 0, 0}});
    EXPECT_EQ(layout.MinStart, 5);
    EXPECT_EQ(layout.MaxEnd, 0);
}

TEST(ParsePartitions, TrailingSeparatorAddsAnEmptyEntry) {
    // The empty entry (0 to 0) lies inside x, so it is drawn after it.
    expectTable(ParsePartitions(QStringLiteral("x:0,1;")), {{"x", 0, 1, 0}, {"", 0, 0, 1}});
}

TEST(ParsePartitions, LabelsAreTakenExactlyAsWritten) {
    expectTable(ParsePartitions(QStringLiteral(" a,b :1,2")), {{" a,b ", 1, 2, 0}});
    expectTable(ParsePartitions(QStringLiteral(":0,1")), {{"", 0, 1, 0}});
    expectTable(ParsePartitions(QStringLiteral("Größe ✓:0,1")), {{"Größe ✓", 0, 1, 0}});
}

TEST(ParsePartitions, NumbersAreReadLeniently) {
    expectTable(ParsePartitions(QStringLiteral("1 0,2x")), {{"", 10, 2, 0}});
    expectTable(ParsePartitions(QStringLiteral("-1.5e3,abc")), {{"", -1500, 0, 0}});
    // Hexadecimal values are unsigned, whatever their top bit.
    expectTable(ParsePartitions(QStringLiteral("&H10,&HFFFFFFFF")), {{"", 16, 4294967295.0, 0}});
}

TEST(ParsePartitions, MainWindowTextKeepsItsByteAddresses) {
    const PartitionLayout layout =
        ParsePartitions(QStringLiteral("mtd0:2416574464,2420113408;mtd1:2416050320,2416574464;"
                                       "mtd2:2415919104,2415984640;mtd3:2415984640,2416050176;"
                                       "mtd4:2416050176,2420113408"));
    expectTable(layout, {{"mtd2", 2415919104.0, 2415984640.0, 0},
                         {"mtd3", 2415984640.0, 2416050176.0, 0},
                         {"mtd4", 2416050176.0, 2420113408.0, 0},
                         {"mtd1", 2416050320.0, 2416574464.0, 1},
                         {"mtd0", 2416574464.0, 2420113408.0, 1}});
    EXPECT_EQ(layout.MinStart, 2415919104.0);
    EXPECT_EQ(layout.MaxEnd, 2420113408.0);
}

TEST(ParsePartitions, NegativeEndsLeaveMaxEndAtZero) {
    const PartitionLayout layout = ParsePartitions(QStringLiteral("-5,-1"));
    EXPECT_EQ(layout.MinStart, -5);
    EXPECT_EQ(layout.MaxEnd, 0);
}

TEST(ParsePartitions, MinStartIsTheSmallestStartEvenWhenHuge) {
    EXPECT_EQ(ParsePartitions(QStringLiteral("2e200,3e200;1e200,4e200")).MinStart, 1e200);
}

// Nesting levels and the order the bars are drawn in.
TEST(ParsePartitions, EqualRangesContainEachOther) {
    const PartitionLayout layout = ParsePartitions(QStringLiteral("0,10;2,4;2,4"));
    expectTable(layout, {{"", 0, 10, 0}, {"", 2, 4, 2}, {"", 2, 4, 2}});
    EXPECT_EQ(layout.MaxLevel, 2);
}

TEST(ParsePartitions, FlashLayoutIsDrawnOuterBeforeInner) {
    const PartitionLayout layout =
        ParsePartitions(QStringLiteral("fs:9,63;kernel:1,9;boot:0,1;config:63,64;both:1,63"));
    expectTable(layout, {{"boot", 0, 1, 0},
                         {"both", 1, 63, 0},
                         {"kernel", 1, 9, 1},
                         {"fs", 9, 63, 1},
                         {"config", 63, 64, 0}});
    EXPECT_EQ(layout.MaxLevel, 1);
}

TEST(ParsePartitions, DrawingOrderIsOnePassNotASort) {
    // A sort by level and start would put the level-1 range 3..3 last; the pass leaves it second.
    expectTable(ParsePartitions(QStringLiteral("6,9;3,4;3,3;5,8")),
                {{"", 3, 4, 0}, {"", 3, 3, 1}, {"", 5, 8, 0}, {"", 6, 9, 0}});
}

TEST(ParsePartitions, LevelsAndOrderMatchThePairwiseRulesOnRandomLayouts) {
    // The rules as written, pair by pair, against the quick versions; small values make many ties.
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        // Half of the rounds have distinct values, half repeat ranges.
        const unsigned values = round % 2 ? 6 : 1000;
        std::vector<PartitionEntry> entries(1 + random() % 12);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            entries[i].Label = QString::number(i);
            entries[i].Start = static_cast<double>(random() % values);
            entries[i].End = entries[i].Start + static_cast<double>(random() % values) - 1;
        }
        std::vector<PartitionEntry> expected = entries;
        int maxLevel = 0;
        for (auto& a : expected) {
            for (const auto& b : expected)
                if (&a != &b && a.Start >= b.Start && a.End <= b.End)
                    ++a.Level;
            maxLevel = std::max<int>(maxLevel, a.Level);
        }
        for (std::size_t j = 0; j + 1 < expected.size(); ++j)
            for (std::size_t k = j; k < expected.size(); ++k) {
                if (expected[j].Level > expected[k].Level)
                    std::swap(expected[j], expected[k]);
                if (expected[j].Start > expected[k].Start)
                    std::swap(expected[j], expected[k]);
            }

        EXPECT_EQ(AssignNestingLevels(entries), maxLevel);
        ArrangeDrawingOrder(entries);
        ASSERT_EQ(entries, expected) << "round " << round;
    }
}

TEST(ParsePartitions, IdenticalRangesComeOutInThePasssOrder) {
    // The pass moves b1 to the end when it meets the smaller a: a, b2, b1.
    expectTable(ParsePartitions(QStringLiteral("b1:5,6;b2:5,6;a:0,1")),
                {{"a", 0, 1, 0}, {"b2", 5, 6, 1}, {"b1", 5, 6, 1}});
}

TEST(ParsePartitions, LargestTextParsesQuickly) {
    // Nested and side-by-side ranges, all different.
    QStringList entries;
    for (int i = 0; i < 32767; ++i)
        entries << QStringLiteral("p%1:%2,%3").arg(i).arg(i * 37 % 32771).arg(i * 37 % 32771 + i % 300 + 1);
    QElapsedTimer timer;
    timer.start();
    const PartitionLayout layout = ParsePartitions(entries.join(u';'));
    EXPECT_LT(timer.elapsed(), 1000) << "a text at the limit must not freeze the window";
    ASSERT_EQ(layout.PartTable.size(), 32767u);
    EXPECT_GT(layout.MaxLevel, 0);
    EXPECT_TRUE(
        std::is_sorted(layout.PartTable.begin(), layout.PartTable.end(),
                       [](const PartitionEntry& a, const PartitionEntry& b) { return a.Start < b.Start; }));
}

// Texts outside the model.
TEST(ParsePartitions, NumberBeyondADoubleFails) {
    EXPECT_THROW(ParsePartitions(QStringLiteral("1e400,1")), PartitionParseError);
    EXPECT_THROW(ParsePartitions(QStringLiteral("0,1;a:0,-2e308")), PartitionParseError);
    EXPECT_NO_THROW(ParsePartitions(QStringLiteral("1e-400,1e308")));
}

TEST(ParsePartitions, AtMost32767Entries) {
    EXPECT_EQ(ParsePartitions(repeated(QStringLiteral("0,1"), 32767, u';')).MaxLevel, 32766);
    EXPECT_THROW(ParsePartitions(repeated(QStringLiteral("0,1"), 32768, u';')), PartitionParseError);
    EXPECT_THROW(ParsePartitions(QString(40000, u';')), PartitionParseError);
}

// The Colours text.
TEST(ParseColours, PiecesAreBareHexadecimalValues) {
    EXPECT_EQ(ParseColours(QStringLiteral("FF,,C000")), (ColourTable{0x0000FF, 0, 0x00C000}));
    EXPECT_EQ(ParseColours(QStringLiteral("00ff0000,12G4,G1, 1")), (ColourTable{0xFF0000, 0x12, 0, 0}));
    EXPECT_EQ(ParseColours(QStringLiteral("FFFFFFFF")), (ColourTable{-1}));
    EXPECT_EQ(ParseColours(kDefaultColours),
              (ColourTable{0, 0xFF, 0xFF00, 0xFF0000, 0xFFFF, 0xFFFF00, 0xFF00FF}));
}

TEST(ParseColours, SystemColourIsResolvedAtParseTime) {
    const ColourTable table = ParseColours(QStringLiteral("80000005,80000008,81000005"));
    EXPECT_EQ(table[0], SystemColour(5));
    EXPECT_EQ(table[1], SystemColour(8));
    EXPECT_EQ(table[2], static_cast<ColourValue>(0x81000005)); // not a system colour reference
}

TEST(ParseColours, TextsOutsideTheModelFail) {
    EXPECT_THROW(ParseColours(QStringLiteral("FF,123456789")), PartitionParseError);
    EXPECT_THROW(ParseColours(QStringLiteral("000000000")), PartitionParseError);
    EXPECT_EQ(ParseColours(repeated(QStringLiteral("FF"), 32767, u',')).size(), 32767u);
    EXPECT_THROW(ParseColours(repeated(QStringLiteral("FF"), 32768, u',')), PartitionParseError);
}

TEST(ColourAt, PositionsBeyondTheTableTakeColourZero) {
    const ColourTable three{0x0000FF, 0x00FF00, 0xFF0000};
    EXPECT_EQ(ColourAt(three, 2), 0xFF0000);
    EXPECT_EQ(ColourAt(three, 3), 0x0000FF);
    EXPECT_EQ(ColourAt(three, 4), 0x0000FF);
    EXPECT_EQ(ColourAt(ColourTable{}, 0), 0);
}
