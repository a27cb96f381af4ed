// The debugger's speed on the demo chip with its patch: a step asked through
// the control socket (as emuapsctl asks it) followed by a read of all 0x800
// registers through the chip's ports (as Zendra reads them), which should
// take at most 2 ms; a step written to DBG by the device's holder through
// Zendra, as Linux's driver writes it, which should be done (bit 14 clear)
// within 1 ms of the write, back to back or after a pause; and a watch that
// never fires, which runs the chip as fast as it goes and should reach at
// least 10 times real time.
#include "aps_request.h"
#include "control_client.h"
#include "control_server.h"
#include "debug_step_server.h"
#include "demo_chip.h"
#include "demo_service.h"
#include "engine_choice.h"
#include "history_recorder.h"
#include "host_write.h"
#include "latency.h"
#include "simulated_chip.h"
#include "support/temp_dir.h"
#include "zendra.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <time.h>

namespace {

constexpr int kRate = 48000;

void BM_StepThroughTheSocketThenReadAllRegisters(benchmark::State& state) {
    TempDir runtime;
    setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    SimulatedChip chip;
    chip.Load(DemoChipWithPatch());
    ControlContext context;
    context.chip = &chip;
    auto server = StartControlServer(
        [&context](const std::string& line, const VerbCancel& cancel) {
            return RunControlVerb(context, line, cancel);
        },
        -1, [](const std::string&) {});
    std::thread serving([&server] { server->Run(); });
    chip.Stop();
    ApsChipPorts ports = chip.Ports();
    for (auto _ : state) {
        ControlReply reply = AskService("step");
        if (reply.status != 0)
            state.SkipWithError(reply.text.c_str());
        for (uint32_t reg = 0; reg < kChipRegisterCount; ++reg) {
            uint32_t value = 0;
            ApsChipPortWrite(&ports, APS_PORT_POINTER, reg << 16);
            ApsChipPortRead(&ports, APS_PORT_DATA, &value);
            benchmark::DoNotOptimize(value);
        }
    }
    server->Stop();
    serving.join();
}
BENCHMARK(BM_StepThroughTheSocketThenReadAllRegisters)->Unit(benchmark::kMicrosecond);

// Stop (0x8000), then for the address the chip stands at 0x8000|a and
// 0xC000|a, about 10 us apart; timed from the second write's call to bit 14 reading
// clear. The argument is the pause between two steps, in microseconds: a
// debugger that reads the chip in between.
void BM_StepWrittenToDbg(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    DemoService service(true);
    if (!service.ready()) {
        state.SkipWithError("emuapsd could not be started");
        return;
    }
    const auto pause = std::chrono::microseconds(state.range(0));
    int32_t dbg = 0x8000;
    ifGPRMemoryWrite(0x52, &dbg);
    Latencies latencies;
    for (auto _ : state) {
        std::this_thread::sleep_for(pause);
        ifGPRMemoryRead(0x52, &dbg);
        const int32_t select = 0x8000 | (dbg & 0x1FF), step = select | 0x4000;
        ifGPRMemoryWrite(0x52, &select);
        std::this_thread::sleep_for(std::chrono::microseconds(10));
        const auto start = Clock::now();
        ifGPRMemoryWrite(0x52, &step);
        do
            ifGPRMemoryRead(0x52, &dbg);
        while ((dbg & 0x4000) && Clock::now() - start < std::chrono::seconds(1));
        const auto took = Clock::now() - start;
        if (dbg & 0x4000)
            state.SkipWithError("a step was never done");
        state.SetIterationTime(std::chrono::duration<double>(took).count());
        latencies.add(took);
    }
    latencies.report(state);
}
BENCHMARK(BM_StepWrittenToDbg)
    ->ArgName("pause_us")
    ->Arg(0)
    ->Arg(3000)
    ->Iterations(400)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// 0x1FF is written by no instruction of the demo: the watch runs its bound.
void BM_WatchRunsTheChip(benchmark::State& state) {
    ChooseEngine(state);
    SimulatedChip chip;
    HistoryRecorder history(10 * kRate);
    if (state.range(1))
        chip.Observe(&history);
    chip.Load(DemoChipWithPatch());
    for (auto _ : state)
        benchmark::DoNotOptimize(chip.RunUntil({{}, {0x1FF}}, kRate));
    state.counters["x_realtime"] =
        benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_WatchRunsTheChip)
    ->ArgNames({"reference", "history"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

double CpuSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The same watch while a hostile holder wakes the chip's DBG waiter without
// pause and writes nothing: the waiter's looks at DBG should cost the chip
// little: waiter_cpu_pct is the waiter's share of one core.
void BM_WatchUnderWakeSpam(benchmark::State& state) {
    SimulatedChip chip;
    chip.Load(DemoChipWithPatch());
    DebugStepServer steps(chip);
    const ApsChipWord* dbg = &chip.Ports().registers[fx8010dbg::kRegister];
    std::atomic<bool> done = false;
    std::atomic<int64_t> wakes = 0;
    std::atomic<double> spamCpu = 0;
    const double processBefore = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    std::thread spam([&] {
        while (!done) {
            ApsWakeHostWriteWaiters(dbg);
            ++wakes;
        }
        spamCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    });
    const double mainBefore = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        benchmark::DoNotOptimize(chip.RunUntil({{}, {0x1FF}}, kRate));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double mainCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - mainBefore;
    done = true;
    spam.join();
    // What is left of the process's time is the DBG waiter's.
    const double waiterCpu =
        CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processBefore - mainCpu - spamCpu;
    state.counters["x_realtime"] =
        benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["wakes_per_s"] = benchmark::Counter(double(wakes), benchmark::Counter::kIsRate);
    state.counters["waiter_cpu_pct"] = 100 * waiterCpu / seconds;
}
BENCHMARK(BM_WatchUnderWakeSpam)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
BENCHMARK_MAIN();
