// Going back in the chip's past: a jump to the oldest sample of 10 s kept
// (and to the sample before a state, the longest replay), a step back, and
// the running cost of keeping the past: the demo patch in the real-time
// thread's blocks of 48 samples with the history alone and with the past
// too, each as a multiple of real time, and the memory the past holds. The
// same for a program that writes all 32 external delay lines.
#include "demo_chip.h"
#include "history_recorder.h"
#include "simulated_chip.h"

#include <benchmark/benchmark.h>

#include <ctime>

namespace {

constexpr int kBlock = 48;
constexpr int kRate = 48000;
constexpr int64_t kTenSeconds = 10 * kRate;

// 32 external taps spread over the pool, each writing the input.
ChipImage LargestExternalTram() {
    ChipImage chip = DemoChipWithPatch();
    for (uint32_t n = 0; n < 32; ++n) {
        const uint32_t i = 400 + n;
        const Fx8010Words w = Fx8010PackInstruction({fx8010::kAcc3, 0x280 + n, 0x00, 0x40, 0x40});
        chip.registers[kMicrocodeBase + 2 * i] = w.low;
        chip.registers[kMicrocodeBase + 2 * i + 1] = w.high;
        chip.registers[0x380 + n] = TramEngine::kWrite | (n * 4096);
    }
    return chip;
}

// The chip 10 s in, with the history and (with past) the past of 10 s.
void RunTenSeconds(SimulatedChip& chip, HistoryRecorder& history, const ChipImage& image,
                   bool past) {
    chip.Observe(&history);
    if (past)
        chip.KeepPast(kTenSeconds);
    chip.Load(image);
    for (int64_t done = 0; done < kTenSeconds + kRate / 10; done += kBlock)
        chip.Run(kBlock);
}

void Running(benchmark::State& state, const ChipImage& image) {
    SimulatedChip chip;
    HistoryRecorder history(kTenSeconds);
    RunTenSeconds(chip, history, image, state.range(0) != 0);
    for (auto _ : state)
        chip.Run(kBlock);
    using benchmark::Counter;
    state.counters["x_realtime"] =
        Counter(double(kBlock) / kRate, Counter::kIsIterationInvariantRate);
    if (const auto past = chip.past()) {
        state.counters["past_MiB"] = double(past->bytes) / (1 << 20);
        state.counters["states"] = double(past->states);
    }
}

void BM_RunningDemo(benchmark::State& state) {
    Running(state, DemoChipWithPatch());
}
BENCHMARK(BM_RunningDemo)->ArgName("past")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_RunningLargestExternalTram(benchmark::State& state) {
    Running(state, LargestExternalTram());
}
BENCHMARK(BM_RunningLargestExternalTram)
    ->ArgName("past")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);

// The two side by side, in turns of 100 blocks each on this thread's own
// CPU clock, so that a loaded machine slows both alike: the ratio of the
// chip with the past to the chip with the history alone.
double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void BM_RunningCostRatio(benchmark::State& state) {
    const ChipImage image = state.range(0) ? LargestExternalTram() : DemoChipWithPatch();
    SimulatedChip alone, kept;
    HistoryRecorder aloneHistory(kTenSeconds), keptHistory(kTenSeconds);
    RunTenSeconds(alone, aloneHistory, image, false);
    RunTenSeconds(kept, keptHistory, image, true);
    double seconds[2] = {0, 0};
    for (auto _ : state) {
        for (int which = 0; which < 2; ++which) {
            SimulatedChip& chip = which ? kept : alone;
            const double start = ThreadSeconds();
            for (int i = 0; i < 100; ++i)
                chip.Run(kBlock);
            seconds[which] += ThreadSeconds() - start;
        }
    }
    state.counters["ratio"] = seconds[1] / seconds[0];
}
BENCHMARK(BM_RunningCostRatio)->ArgName("largest_external")->Arg(0)->Arg(1);

// arg 0: the oldest sample; 1: the sample before the second state, the
// longest replay there is.
void BM_JumpBackTenSeconds(benchmark::State& state) {
    SimulatedChip chip;
    HistoryRecorder history(kTenSeconds);
    RunTenSeconds(chip, history, DemoChipWithPatch(), true);
    chip.Stop();
    const auto past = chip.past();
    const uint64_t to = state.range(0) ? (past->oldest / 9600 + 2) * 9600 - 1 : past->oldest;
    for (auto _ : state) {
        if (!chip.GoTo({to, 0}))
            state.SkipWithError("the past does not hold the sample");
        state.PauseTiming();
        chip.GoTo(past->newest);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_JumpBackTenSeconds)->ArgName("longest")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_StepBack(benchmark::State& state) {
    SimulatedChip chip;
    HistoryRecorder history(kTenSeconds);
    RunTenSeconds(chip, history, DemoChipWithPatch(), true);
    chip.Stop();
    const auto past = chip.past();
    // Just before a state, inside a sample and at its start.
    const SimulatedChip::Position at = {(past->newest.samples / 9600) * 9600 - 1,
                                        uint32_t(state.range(0))};
    for (auto _ : state) {
        state.PauseTiming();
        chip.GoTo(at);
        state.ResumeTiming();
        if (!chip.StepBack())
            state.SkipWithError("no step back");
    }
}
BENCHMARK(BM_StepBack)->ArgName("pc")->Arg(0)->Arg(100)->Unit(benchmark::kMillisecond);

} // namespace
BENCHMARK_MAIN();
