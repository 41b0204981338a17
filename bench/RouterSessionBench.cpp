// The conversation with the boot loader against router-sim on 127.0.0.1, as flintor-calc --apply holds it:
// connect, log in, read every variable, write a two-partition repair and read each partition back, all on
// one new connection. It must end well inside the boot loader's patience: under 50 ms in all. Wall time,
// not processor time: most of it is waiting for replies.
#include "RouterSession.h"
#include "RouterSimulator.h"

#include <benchmark/benchmark.h>

namespace {

void BM_ReadAndRepairTwoPartitions(benchmark::State& state) {
    flintor::SimulatorSettings settings;
    settings.adam2 = false;
    settings.environment = flintor::SampleEnvironment(false);
    flintor::RouterSimulator simulator(settings);
    flintor::RouterSessionOptions options;
    options.connection.loopbackOnly = true;
    const std::vector<flintor::PartitionBounds> repair = {{0, 0x90022000u, 0x903F0000u},
                                                          {5, 0x903F0000u, 0x90400000u}};
    for (auto _ : state) {
        flintor::RouterSession session(simulator.address(), options);
        const flintor::RouterReadResult read = session.read();
        if (!read.reading) {
            state.SkipWithError(read.message.c_str());
            break;
        }
        const flintor::ApplyResult applied = session.apply(repair);
        if (!applied.ok) {
            state.SkipWithError(applied.message.c_str());
            break;
        }
        benchmark::DoNotOptimize(applied.writes.data());
    }
}
BENCHMARK(BM_ReadAndRepairTwoPartitions)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(10);

} // namespace

BENCHMARK_MAIN();
