// The interpreter on a full microcode memory: the demo chip's program with
// the demo patch placed beside it, repeated until all 512 instructions do
// work (mixing, delay lines in both pools, INTERP, TSTNEG, LIMIT). Blocks of
// 48 samples, as the real-time thread runs them; beside it the same through
// the chip's lock, and a program of no-ops as the floor.
#include "demo_chip.h"
#include "engine_choice.h"
#include "fx8010_interpreter.h"
#include "history_recorder.h"
#include "simulated_chip.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kBlock = 48;
constexpr int kRate = 48000;

ChipImage FullProgram() {
    ChipImage chip = DemoChipWithPatch();
    const int used = 52; // the chip's 36 instructions and the patch's 16
    for (int i = used; i < kMicrocodeSize; ++i) {
        chip.registers[kMicrocodeBase + 2 * i] = chip.registers[kMicrocodeBase + 2 * (i % used)];
        chip.registers[kMicrocodeBase + 2 * i + 1] =
            chip.registers[kMicrocodeBase + 2 * (i % used) + 1];
    }
    return chip;
}

// The kernel-style case: 440 instructions at work, the rest no-ops.
ChipImage KernelStyleProgram() {
    ChipImage chip = FullProgram();
    for (int i = 440; i < kMicrocodeSize; ++i) {
        chip.registers[kMicrocodeBase + 2 * i] = (0x40 << 10) | 0x40;
        chip.registers[kMicrocodeBase + 2 * i + 1] = (6 << 20) | (0x40 << 10) | 0x40;
    }
    return chip;
}

ChipImage NoOps() {
    ChipImage chip;
    for (int i = 0; i < kMicrocodeSize; ++i) {
        chip.registers[kMicrocodeBase + 2 * i] = (0x40 << 10) | 0x40;
        chip.registers[kMicrocodeBase + 2 * i + 1] = (6 << 20) | (0x40 << 10) | 0x40;
    }
    return chip;
}

void Rates(benchmark::State& state) {
    using benchmark::Counter;
    state.counters["x_realtime"] =
        Counter(double(kBlock) / kRate, Counter::kIsIterationInvariantRate);
    state.counters["instr/s"] =
        Counter(double(kBlock) * kMicrocodeSize, Counter::kIsIterationInvariantRate);
}

void BM_FullProgram(benchmark::State& state) {
    ChipImage chip = FullProgram();
    Fx8010Interpreter dsp;
    dsp.SetEngine(ChooseEngine(state));
    for (auto _ : state) {
        dsp.Run(chip, kBlock);
        benchmark::DoNotOptimize(chip.registers.data());
    }
    Rates(state);
}
BENCHMARK(BM_FullProgram)->ArgName("reference")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_FullProgramThroughTheChipsLock(benchmark::State& state) {
    ChooseEngine(state);
    SimulatedChip chip;
    chip.Load(FullProgram());
    for (auto _ : state)
        chip.Run(kBlock);
    Rates(state);
}
BENCHMARK(BM_FullProgramThroughTheChipsLock)
    ->ArgName("reference")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);

// The same with 10 s of history hearing it, its ring's pages touched first.
void BM_FullProgramThroughTheChipsLockWithHistory(benchmark::State& state) {
    ChooseEngine(state);
    SimulatedChip chip;
    HistoryRecorder history(10 * kRate);
    chip.Observe(&history);
    chip.Load(FullProgram());
    for (int done = 0; done < 10 * kRate; done += kBlock)
        chip.Run(kBlock);
    for (auto _ : state)
        chip.Run(kBlock);
    Rates(state);
    state.counters["kept"] = double(history.Kept().size());
}
BENCHMARK(BM_FullProgramThroughTheChipsLockWithHistory)
    ->ArgName("reference")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);

// One instruction reading the accumulator and the condition codes makes the
// interpreter keep both for every instruction.
void BM_FullProgramKeepingAccumulatorAndCodes(benchmark::State& state) {
    ChipImage chip = FullProgram();
    chip.registers[kMicrocodeBase + 2 * 511] = (0x57 << 10) | 0x40;
    chip.registers[kMicrocodeBase + 2 * 511 + 1] = (6 << 20) | (0x1FF << 10) | 0x56;
    Fx8010Interpreter dsp;
    dsp.SetEngine(ChooseEngine(state));
    for (auto _ : state) {
        dsp.Run(chip, kBlock);
        benchmark::DoNotOptimize(chip.registers.data());
    }
    Rates(state);
}
BENCHMARK(BM_FullProgramKeepingAccumulatorAndCodes)
    ->ArgName("reference")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);

void BM_NoOpProgram(benchmark::State& state) {
    ChipImage chip = NoOps();
    Fx8010Interpreter dsp;
    dsp.SetEngine(ChooseEngine(state));
    for (auto _ : state) {
        dsp.Run(chip, kBlock);
        benchmark::DoNotOptimize(chip.registers.data());
    }
    Rates(state);
}
void BM_KernelStyleProgram(benchmark::State& state) {
    ChipImage chip = KernelStyleProgram();
    Fx8010Interpreter dsp;
    dsp.SetEngine(ChooseEngine(state));
    for (auto _ : state) {
        dsp.Run(chip, kBlock);
        benchmark::DoNotOptimize(chip.registers.data());
    }
    Rates(state);
}
BENCHMARK(BM_KernelStyleProgram)
    ->ArgName("reference")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);

// The same through the chip's lock with 10 s of history hearing it.
void BM_KernelStyleProgramWithHistory(benchmark::State& state) {
    ChooseEngine(state);
    SimulatedChip chip;
    HistoryRecorder history(10 * kRate);
    chip.Observe(&history);
    chip.Load(KernelStyleProgram());
    for (int done = 0; done < 10 * kRate; done += kBlock)
        chip.Run(kBlock);
    for (auto _ : state)
        chip.Run(kBlock);
    Rates(state);
}
BENCHMARK(BM_KernelStyleProgramWithHistory)
    ->ArgName("reference")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_NoOpProgram)->ArgName("reference")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
