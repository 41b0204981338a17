// The conversation with the boot loader's console against console-sim on a pseudo-terminal, as a repair
// over the console holds it once the prompt is there: printenv of every variable, then a two-partition
// repair with each partition read back (printenv NAME, or the whole list where Adam2 does not know that
// form). It must end well inside the boot loader's patience: under 50 ms in all. Wall time, not processor
// time: most of it is waiting for the console.
#include "ConsoleSimulator.h"
#include "RouterRecord.h"
#include "SerialConnection.h"

#include <benchmark/benchmark.h>

namespace {

void BM_ReadAndRepairTwoPartitionsAtThePrompt(benchmark::State& state) {
    const bool adam2 = state.range(0) != 0;
    flintor::ConsoleSettings settings;
    settings.adam2 = adam2;
    settings.environment = flintor::SampleEnvironment(adam2);
    flintor::ConsoleSimulator simulator(settings);
    flintor::SerialConnection connection(simulator.devicePath());
    if (const auto opened = connection.open(); opened.kind != flintor::ConversationEventKind::Banner) {
        state.SkipWithError(opened.message.c_str());
        return;
    }
    const std::vector<std::string> names(flintor::kRouterVariables.begin(), flintor::kRouterVariables.end());
    const flintor::PartitionBounds repair[] = {{0, 0x90022000u, 0x903F0000u}, {5, 0x903F0000u, 0x90400000u}};
    for (auto _ : state) {
        auto events = connection.readValues(names);
        for (const auto& bounds : repair) {
            events.push_back(connection.writePartition(bounds));
            events.push_back(connection.readValue("mtd" + std::to_string(bounds.number)));
        }
        for (const auto& event : events) {
            if (event.kind == flintor::ConversationEventKind::Failure ||
                event.kind == flintor::ConversationEventKind::WriteRefused) {
                state.SkipWithError(event.message.c_str());
                return;
            }
        }
        benchmark::DoNotOptimize(events.data());
    }
}
BENCHMARK(BM_ReadAndRepairTwoPartitionsAtThePrompt)
    ->ArgName("adam2")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(10);

} // namespace

BENCHMARK_MAIN();
