// The interpreter on a full microcode memory: the demo chip's program with
// the demo patch placed beside it, repeated until all 512 instructions do
// work (mixing, delay lines in both pools, INTERP, TSTNEG, LIMIT). Blocks of
// 48 samples, as the real-time thread runs them; beside it the same through
// the chip's lock, and a program of no-ops as the floor. And a mixer's
// program with the mix of Linux's own (mixer_program.h): SKIP-heavy, its tone
// filters reading the accumulator.
#include "demo_chip.h"
#include "engine_choice.h"
#include "fx8010_interpreter.h"
#include "history_recorder.h"
#include "mixer_program.h"
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

// The interpreter alone on the image, a block at a time, on the engine the
// benchmark's argument picks.
void RunInterpreter(benchmark::State& state, ChipImage chip) {
    Fx8010Interpreter dsp;
    dsp.SetEngine(ChooseEngine(state));
    for (auto _ : state) {
        dsp.Run(chip, kBlock);
        benchmark::DoNotOptimize(chip.registers.data());
    }
    Rates(state);
}

// The image through the chip's lock, with 10 s of history hearing it when
// asked, its ring's pages touched first.
void RunThroughTheChipsLock(benchmark::State& state, const ChipImage& image, bool history) {
    ChooseEngine(state);
    SimulatedChip chip;
    HistoryRecorder recorder(10 * kRate);
    if (history)
        chip.Observe(&recorder);
    chip.Load(image);
    for (int done = 0; history && done < 10 * kRate; done += kBlock)
        chip.Run(kBlock);
    for (auto _ : state)
        chip.Run(kBlock);
    Rates(state);
    if (history)
        state.counters["kept"] = double(recorder.Kept().size());
}

// One instruction reading the accumulator and the condition codes makes the
// interpreter keep both for every instruction.
ChipImage FullProgramKeepingAccumulatorAndCodes() {
    ChipImage chip = FullProgram();
    chip.registers[kMicrocodeBase + 2 * 511] = (0x57 << 10) | 0x40;
    chip.registers[kMicrocodeBase + 2 * 511 + 1] = (6 << 20) | (0x1FF << 10) | 0x56;
    return chip;
}

void BM_FullProgram(benchmark::State& state) {
    RunInterpreter(state, FullProgram());
}
void BM_FullProgramThroughTheChipsLock(benchmark::State& state) {
    RunThroughTheChipsLock(state, FullProgram(), false);
}
void BM_FullProgramThroughTheChipsLockWithHistory(benchmark::State& state) {
    RunThroughTheChipsLock(state, FullProgram(), true);
}
void BM_FullProgramKeepingAccumulatorAndCodes(benchmark::State& state) {
    RunInterpreter(state, FullProgramKeepingAccumulatorAndCodes());
}
void BM_KernelStyleProgram(benchmark::State& state) {
    RunInterpreter(state, KernelStyleProgram());
}
void BM_KernelStyleProgramWithHistory(benchmark::State& state) {
    RunThroughTheChipsLock(state, KernelStyleProgram(), true);
}
void BM_MixerProgram(benchmark::State& state) {
    RunInterpreter(state, MixerProgram());
}
void BM_MixerProgramThroughTheChipsLock(benchmark::State& state) {
    RunThroughTheChipsLock(state, MixerProgram(), false);
}
void BM_MixerProgramThroughTheChipsLockWithHistory(benchmark::State& state) {
    RunThroughTheChipsLock(state, MixerProgram(), true);
}
void BM_NoOpProgram(benchmark::State& state) {
    RunInterpreter(state, NoOps());
}

// Each once on the fast engine (reference:0) and once on the reference one.
#define VELMORA_BOTH_ENGINES(NAME)                                                                 \
    BENCHMARK(NAME)->ArgName("reference")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)
VELMORA_BOTH_ENGINES(BM_FullProgram);
VELMORA_BOTH_ENGINES(BM_FullProgramThroughTheChipsLock);
VELMORA_BOTH_ENGINES(BM_FullProgramThroughTheChipsLockWithHistory);
VELMORA_BOTH_ENGINES(BM_FullProgramKeepingAccumulatorAndCodes);
VELMORA_BOTH_ENGINES(BM_KernelStyleProgram);
VELMORA_BOTH_ENGINES(BM_KernelStyleProgramWithHistory);
VELMORA_BOTH_ENGINES(BM_MixerProgram);
VELMORA_BOTH_ENGINES(BM_MixerProgramThroughTheChipsLock);
VELMORA_BOTH_ENGINES(BM_MixerProgramThroughTheChipsLockWithHistory);
VELMORA_BOTH_ENGINES(BM_NoOpProgram);
#undef VELMORA_BOTH_ENGINES

} // namespace

BENCHMARK_MAIN();
