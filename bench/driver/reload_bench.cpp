// What a reload holds the running chip for: the swap of the demo program
// into itself under the chip's lock (its delay lines, 18,000 samples, moved
// as they are), and the carry plan worked out before it, outside the lock.
// A swap well under a millisecond keeps --play free of underruns at the
// shortest latency (4 ms, a period of 1 ms).
#include "carry_plan.h"
#include "loaded_program.h"
#include "simulated_chip.h"

#include <benchmark/benchmark.h>

namespace {

const std::string kImages = std::string(VELMORA_SOURCE_DIR) + "/driver/images/";

struct Demo {
    ChipImage image;
    LoadedProgram loaded;
    Demo() {
        const ChipImageResult r =
            LoadChipWithPatch(kImages + "demo.chip", kImages + "demo-chorus-echo.emu10k1",
                              kImages + "demo-chorus-echo.dbg", &loaded);
        if (!r.image)
            throw std::runtime_error(r.describe());
        image = *r.image;
    }
};

void BM_CarryPlan(benchmark::State& state) {
    const Demo demo;
    for (auto _ : state)
        benchmark::DoNotOptimize(PlanCarry(demo.image, demo.loaded, demo.image, demo.loaded));
}
BENCHMARK(BM_CarryPlan)->Unit(benchmark::kMicrosecond);

// Swaps between blocks of a millisecond, as the chip's thread runs them;
// with the past kept (emuapsd's default), the swap also begins it afresh.
void BM_SwapIntoTheRunningChip(benchmark::State& state) {
    const Demo demo;
    const CarryPlan plan = PlanCarry(demo.image, demo.loaded, demo.image, demo.loaded);
    SimulatedChip chip;
    if (state.range(0))
        chip.KeepPast(480000);
    chip.Load(demo.image);
    for (auto _ : state) {
        state.PauseTiming();
        chip.Run(48);
        state.ResumeTiming();
        benchmark::DoNotOptimize(chip.Swap(demo.image, plan.carry));
    }
    state.counters["lines"] = double(plan.carry.moves.size());
}
BENCHMARK(BM_SwapIntoTheRunningChip)
    ->ArgName("past")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
