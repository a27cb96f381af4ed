// What the history costs: the demo chip with its patch run through the
// chip's lock (bench_fx8010 has the full program) in the real-time thread's blocks of 48 samples,
// with and without the history of 10 s hearing it, as multiples of real time; and the memory those
// 10 s hold. The first pass through the ring touches its pages, so each run starts 10 s in.
// Then what reading it costs the chip: a trace of all 10 s of some of the
// 256 registers a program counts in, as figures, CSV or WAV, while the chip
// runs by the clock on another thread; the trace's time, and the chip's
// longest block, its wait for the lock included, against its longest while
// nothing reads (on a loaded machine, the system's own delays).
#include "demo_chip.h"
#include "driver/counting_chip.h"
#include "engine_choice.h"
#include "history_recorder.h"
#include "simulated_chip.h"
#include "support/temp_dir.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>

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

void BM_TraceOfTenSecondsWhileTheChipRuns(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const auto registers = uint32_t(state.range(0));
    const char* const kTo[] = {"", " --to %s/t.csv", " --to %s/t.wav"};
    SimulatedChip chip;
    HistoryRecorder history(kTenSeconds);
    chip.Observe(&history);
    chip.Load(CountingChip());
    for (int64_t done = 0; done < kTenSeconds; done += kBlock)
        chip.Run(kBlock);
    ControlContext context;
    context.chip = &chip;
    context.history = &history;
    TempDir dir;
    std::string line = "trace";
    for (uint32_t reg = 0x100; reg < 0x100 + registers; ++reg)
        line.append(" ").append(std::to_string(reg));
    char to[512];
    std::snprintf(to, sizeof to, kTo[state.range(1)], dir.path().c_str());
    line += to;
    std::atomic<bool> tracing = false, done = false;
    // The longest block while nothing reads, and while a trace does.
    std::atomic<int64_t> longestNs[2] = {0, 0};
    std::thread clock([&] {
        for (auto due = Clock::now(); !done; std::this_thread::sleep_until(due)) {
            due += std::chrono::milliseconds(1);
            const auto begun = Clock::now();
            chip.Run(kBlock);
            const int64_t took = (Clock::now() - begun).count();
            std::atomic<int64_t>& longest = longestNs[tracing];
            longest = std::max(longest.load(), took);
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (auto _ : state) {
        tracing = true;
        const ControlAnswer answer = RunControlVerb(context, line);
        tracing = false;
        if (answer.status != 0) {
            state.SkipWithError(answer.text.c_str());
            break;
        }
    }
    done = true;
    clock.join();
    state.counters["values"] = double(registers) * kTenSeconds;
    state.counters["longest_block_us"] = double(longestNs[1]) / 1000;
    state.counters["alone_us"] = double(longestNs[0]) / 1000;
}
BENCHMARK(BM_TraceOfTenSecondsWhileTheChipRuns)
    ->ArgNames({"registers", "figures_csv_wav"})
    ->ArgsProduct({{8, 64}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
