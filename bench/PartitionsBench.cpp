// The partition map's two costs: a redraw of the main window's map and a parse of many entries.
#include "OrvoPartitions.h"
#include "PartitionModel.h"

#include <benchmark/benchmark.h>

namespace {

// The main window's map after a PSP calculation (flash 4 MiB, file system at 0x80000, a 128 KiB mtd5).
const QString kPspLayout =
    QStringLiteral("mtd0:2416574464,2419982336;mtd1:2416050320,2416574464;mtd2:2415919104,2415984640;"
                   "mtd3:2415984640,2416050176;mtd4:2416050176,2419982336;mtd5:2419982336,2420113408");
const QString kMainWindowColours = QStringLiteral("FF,FF4040,1A93E0,C000,C0C000,22BAB8,800080,52F0BE");

void BM_RedrawMainWindowMap(benchmark::State& state) {
    OrvoPartitions map;
    map.resize(537, 41);
    map.Resize();
    QFont font(QStringLiteral("Arial Narrow"));
    font.setPointSizeF(8.25);
    map.setLabelFont(font);
    map.setFillParts(true);
    map.setColours(kMainWindowColours);
    map.setPartitions(kPspLayout);
    for (auto _ : state) {
        map.Redraw();
        benchmark::DoNotOptimize(map.image().constBits());
    }
}
BENCHMARK(BM_RedrawMainWindowMap)->Unit(benchmark::kMicrosecond);

// A mix of disjoint and nested ranges, so that levels and the drawing order have work to do. With
// `ties`, every range appears twice, which makes the drawing order run its pairwise pass.
QString manyEntries(int count, bool ties) {
    QStringList entries;
    for (int i = 0; i < count; ++i) {
        const int n = ties ? i / 2 : i;
        const qint64 start = (n * 7919LL) % 100000;
        entries << QStringLiteral("part%1:%2,%3").arg(i).arg(start).arg(start + 1 + (n % 50) * 100);
    }
    return entries.join(QLatin1Char(';'));
}

void BM_ParseEntries(benchmark::State& state) {
    const QString text = manyEntries(static_cast<int>(state.range(0)), false);
    for (auto _ : state) {
        PartitionLayout layout = ParsePartitions(text);
        benchmark::DoNotOptimize(layout.PartTable.data());
    }
}
BENCHMARK(BM_ParseEntries)->Arg(1000)->Arg(32767)->Unit(benchmark::kMillisecond);

void BM_ParseEntriesWithTies(benchmark::State& state) {
    const QString text = manyEntries(static_cast<int>(state.range(0)), true);
    for (auto _ : state) {
        PartitionLayout layout = ParsePartitions(text);
        benchmark::DoNotOptimize(layout.PartTable.data());
    }
}
BENCHMARK(BM_ParseEntriesWithTies)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseEntriesWithTies)->Arg(32767)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
