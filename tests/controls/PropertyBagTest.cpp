#include "PropertyBag.h"

#include <QFont>

#include <gtest/gtest.h>

TEST(PropertyBag, KeysMatchWithoutRegardToCase) {
    PropertyBag bag;
    bag.write("NormalColour", 0x00C0E0FF, 0xEFF3F3);
    EXPECT_EQ(bag.read("normalcolour", 0).toInt(), 0x00C0E0FF);
    EXPECT_EQ(bag.read("NORMALCOLOUR", 0).toInt(), 0x00C0E0FF);
    bag.write("normalCOLOUR", 0x123456, 0xEFF3F3);
    EXPECT_EQ(bag.count(), 1);
    EXPECT_EQ(bag.read("NormalColour", 0).toInt(), 0x123456);
    EXPECT_EQ(bag.keys(), QStringList{"normalCOLOUR"});
}

TEST(PropertyBag, AbsentKeyReadsAsTheCallersDefault) {
    PropertyBag bag;
    EXPECT_EQ(bag.read("Caption", "Button").toString(), "Button");
    EXPECT_FALSE(bag.contains("Caption"));
}

TEST(PropertyBag, ValueEqualToItsDefaultIsNotStored) {
    PropertyBag bag;
    bag.write("Resolution", 50, 50);
    EXPECT_FALSE(bag.contains("Resolution"));

    bag.write("Resolution", 25, 50);
    ASSERT_TRUE(bag.contains("resolution"));
    // Writing the default again forgets the stored value rather than keeping a stale one.
    bag.write("RESOLUTION", 50, 50);
    EXPECT_FALSE(bag.contains("Resolution"));
    EXPECT_EQ(bag.read("Resolution", 77).toInt(), 77);
}

TEST(PropertyBag, FontsAndEmptyTextsRoundTrip) {
    PropertyBag bag;
    QFont narrow("Arial Narrow");
    narrow.setPointSizeF(8.25);
    bag.write("LabelFont", narrow, QFont());
    EXPECT_EQ(bag.read("labelfont", QFont()).value<QFont>(), narrow);

    // An empty text differs from a non-empty default and is stored as such.
    bag.write("Partitions", QString(), QString("0,1;1,2"));
    ASSERT_TRUE(bag.contains("Partitions"));
    EXPECT_TRUE(bag.read("Partitions", QString("0,1;1,2")).toString().isEmpty());
}
