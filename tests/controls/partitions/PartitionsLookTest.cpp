// The main window's map after real calculations, as the user sees it. With FLINTOR_LOOK_DIR set the
// pictures are also written there as PNG files, to be looked at.
#include "OrvoPartitions.h"

#include <QDir>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

struct Look {
    const char* file;
    const char* partitions;
    int entries;
};

// PSP, flash 4 MiB, file system at 0x80000, a 128 KiB mtd5; Adam2 single image, flash 4 MiB,
// file system at 0x71000.
const Look kLooks[] = {
    {"psp-4mib-mtd5.png",
     "mtd0:2416574464,2419982336;mtd1:2416050320,2416574464;mtd2:2415919104,2415984640;"
     "mtd3:2415984640,2416050176;mtd4:2416050176,2419982336;mtd5:2419982336,2420113408",
     6},
    {"adam2-4mib-single.png",
     "mtd0:2416447488,2420047872;mtd1:2415984784,2416447488;mtd2:2415919104,2415984640;"
     "mtd3:2420047872,2420113408;mtd4:2415984640,2420047872",
     5},
};

class MainWindowMap : public ::testing::TestWithParam<Look> {};

} // namespace

INSTANTIATE_TEST_SUITE_P(Calculations, MainWindowMap, ::testing::ValuesIn(kLooks));

TEST_P(MainWindowMap, EveryBarCarriesItsLabel) {
    OrvoPartitions map;
    map.resize(map.sizeHint());
    map.Resize();
    map.InitProperties();
    QFont font(QStringLiteral("Arial Narrow"));
    font.setPointSizeF(8.25);
    map.setLabelFont(font);
    map.setFillParts(true);
    map.setColours(QStringLiteral("FF,FF4040,1A93E0,C000,C0C000,22BAB8,800080,52F0BE"));
    ASSERT_TRUE(map.setPartitions(QString::fromLatin1(GetParam().partitions)));
    ASSERT_EQ(map.image().size(), QSize(537, 41));

    // Every label shows: taking any one of them away changes the picture.
    const QImage labelled = map.image().copy();
    const QStringList entries = QString::fromLatin1(GetParam().partitions).split(u';');
    ASSERT_EQ(entries.size(), GetParam().entries);
    for (int i = 0; i < entries.size(); ++i) {
        QStringList unlabelled = entries;
        unlabelled[i] = unlabelled[i].mid(unlabelled[i].indexOf(u':'));
        ASSERT_TRUE(map.setPartitions(unlabelled.join(u';')));
        int changed = 0;
        for (int y = 0; y < 41; ++y)
            for (int x = 0; x < 537; ++x)
                changed += map.image().pixel(x, y) != labelled.pixel(x, y);
        EXPECT_GT(changed, 15) << entries[i].toStdString();
    }
    map.setPartitions(QString::fromLatin1(GetParam().partitions));
    ASSERT_EQ(map.image(), labelled);

    const QString folder = qEnvironmentVariable("FLINTOR_LOOK_DIR");
    if (!folder.isEmpty()) {
        QDir().mkpath(folder);
        EXPECT_TRUE(map.image().save(QDir(folder).filePath(QString::fromLatin1(GetParam().file))));
        // An enlarged copy, for reading the small labels.
        EXPECT_TRUE(
            map.image()
                .scaled(537 * 3, 41 * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                .save(QDir(folder).filePath(QStringLiteral("x3-") + QString::fromLatin1(GetParam().file))));
    }
}
