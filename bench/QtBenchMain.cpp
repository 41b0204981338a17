// The main() of the benchmarks that need a QApplication: the platform defaults to offscreen and a
// private runtime folder, so they run the same on a desktop, over SSH and in CI.
#include "OffscreenEnvironment.h"

#include <QApplication>
#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
    prepareOffscreenEnvironment("offscreen", QStringLiteral("flintor-bench-runtime"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
