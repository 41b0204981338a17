// The partition map's two texts: the first line of the fuzzer's bytes is the Colours text, the rest
// the Partitions text. Whatever parses is laid out and painted onto a small surface.

#include "FuzzSupport.h"
#include "PartitionGeometry.h"
#include "PartitionModel.h"
#include "PartitionPainter.h"
#include "QtFuzzSupport.h"

#include <QImage>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::startGuiApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype newline = bytes.indexOf('\n');
    const QString colourText = QString::fromUtf8(newline < 0 ? QByteArray() : bytes.left(newline));
    const QString partitionText = QString::fromUtf8(newline < 0 ? bytes : bytes.mid(newline + 1));

    ColourTable colours;
    try {
        colours = ParseColours(colourText);
    } catch (const PartitionParseError&) {
        colours = ParseColours(kDefaultColours);
    }
    PartitionLayout layout;
    try {
        layout = ParsePartitions(partitionText);
    } catch (const PartitionParseError&) {
        return 0;
    }
    fuzz::check(layout.MaxEnd >= 0, "MaxEnd below 0");
    fuzz::check(layout.MaxLevel >= 0, "negative level");
    for (const PartitionEntry& entry : layout.PartTable)
        fuzz::check(entry.Level >= 0 && entry.Level <= layout.MaxLevel, "level outside 0..MaxLevel");

    const MapExtent extent{1200.0f, 600.0f, 15};
    const std::vector<BarGeometry> bars = LayoutBars(layout, colours, extent);
    fuzz::check(bars.size() == layout.PartTable.size(), "a bar per entry");
    QImage surface(80, 40, QImage::Format_RGB32);
    MapStyle style;
    style.fillParts = size % 2 == 0;
    style.clientBottom = 40;
    PaintPartitionMap(surface, bars, style);
    return 0;
}
