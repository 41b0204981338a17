// The map for those who cannot see its bars: its accessible name and description, and the tooltip of
// the bar under the pointer.
#include "OrvoPartitions.h"

#include <QAccessible>
#include <QApplication>
#include <QHelpEvent>
#include <QToolTip>
#include <gtest/gtest.h>
#include <memory>

namespace {

std::unique_ptr<OrvoPartitions> makeMap(const QString& partitions) {
    auto map = std::make_unique<OrvoPartitions>();
    map->resize(200, 40);
    map->Resize();
    map->setPartitions(partitions);
    return map;
}

QString tipAt(OrvoPartitions& map, QPoint at) {
    QToolTip::hideText();
    QHelpEvent help(QEvent::ToolTip, at, map.mapToGlobal(at));
    QApplication::sendEvent(&map, &help);
    return QToolTip::text();
}

TEST(OrvoPartitionsAccessible, DescribesEveryBarInDrawingOrderInTheMapsOwnNumbers) {
    const char* const cases[][2] = {
        {"", "0 to 1, 1; 1 to 2, 1"},
        {"b:20,30;a:0,10", "a: 0 to 10, 10; b: 20 to 30, 10"},
        {"inner:10,20;outer:0,100", "outer: 0 to 100, 100; inner: 10 to 20, 10"},
        {"back:30,10.5", "back: 30 to 10.5, -19.5"},
    };
    for (const auto& [partitions, description] : cases) {
        auto map = makeMap(partitions);
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(map.get());
        EXPECT_EQ(face->role(), QAccessible::Graphic);
        EXPECT_EQ(face->text(QAccessible::Description), description) << partitions;
    }
    // The host's own words win: a name over the tooltip, a description over the bars.
    auto map = makeMap("a:0,10");
    map->setToolTip("Layout");
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(map.get());
    EXPECT_EQ(face->text(QAccessible::Name), "Layout");
    map->setAccessibleName("Flash");
    map->setAccessibleDescription("Nothing yet");
    EXPECT_EQ(face->text(QAccessible::Name), "Flash");
    EXPECT_EQ(face->text(QAccessible::Description), "Nothing yet");
}

TEST(OrvoPartitionsAccessible, TooltipNamesTheBarUnderThePointerAndTheMapBetweenBars) {
    // 200 pixels for 0..30: a covers 0..67 and b 133..200; inner is stepped down into the lower half.
    auto map = makeMap("a:0,10;b:20,30");
    map->setToolTip("Map");
    map->setBarText([](const PartitionEntry& entry) { return entry.Label.toUpper(); });
    EXPECT_EQ(tipAt(*map, {5, 20}), "A");
    EXPECT_EQ(tipAt(*map, {199, 39}), "B");
    EXPECT_EQ(tipAt(*map, {100, 20}), "Map");
    map->setBarText({});
    map->setPartitions("outer:0,30;inner:10,20");
    EXPECT_EQ(tipAt(*map, {100, 30}), "inner: 10 to 20, 10");
    EXPECT_EQ(tipAt(*map, {100, 5}), "outer: 0 to 30, 30");
    QToolTip::hideText();
}

} // namespace
