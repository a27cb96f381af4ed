// What the history costs: the demo chip with its patch run through the
// chip's lock (bench_fx8010 has the full program) in the real-time thread's blocks of 48 samples,
// with and without the history of 10 s hearing it, as multiples of real time; and the memory those
// 10 s hold. The first pass through the ring touches its pages, so each run starts 10 s in.
#include "demo_chip.h"
#include "engine_choice.h"
#include "history_recorder.h"
#include "simulated_chip.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kBlock = 48;
constexpr int kRate = 48000;
constexpr int64_t kTenSeconds = 10 * kRate;

void Run(benchmark::State& state, const ChipImage& image) {
    ChooseEngine(state, 1);
    SimulatedChip chip;
    HistoryRecorder history(kTenSeconds);
    if (state.range(0))
        chip.Observe(&history);
    chip.Load(image);
    for (int64_t done = 0; done < kTenSeconds; done += kBlock)
        chip.Run(kBlock);
    for (auto _ : state)
        chip.Run(kBlock);
    using benchmark::Counter;
    state.counters["x_realtime"] =
        Counter(double(kBlock) / kRate, Counter::kIsIterationInvariantRate);
    state.counters["kept"] = double(history.Kept().size());
    state.counters["MiB_10s"] = double(history.bytes()) / (1 << 20);
}

void BM_DemoPatch(benchmark::State& state) {
    Run(state, DemoChipWithPatch());
}
BENCHMARK(BM_DemoPatch)
    ->ArgNames({"history", "reference"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
