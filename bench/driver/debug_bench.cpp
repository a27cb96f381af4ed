// The debugger's speed on the demo chip with its patch: a step asked through
// the control socket (as emuapsctl asks it) followed by a read of all 0x800
// registers through the chip's ports (as Zendra reads them), which should
// take at most 2 ms; and a watch that never fires, which runs the chip as
// fast as it goes and should reach at least 10 times real time.
#include "control_client.h"
#include "aps_request.h"
#include "control_server.h"
#include "demo_chip.h"
#include "simulated_chip.h"
#include "support/temp_dir.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <thread>

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
        [&context](const std::string& line) { return RunControlVerb(context, line); }, -1,
        [](const std::string&) {});
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

// 0x1FF is written by no instruction of the demo: the watch runs its bound.
void BM_WatchRunsTheChip(benchmark::State& state) {
    SimulatedChip chip;
    chip.Load(DemoChipWithPatch());
    for (auto _ : state)
        benchmark::DoNotOptimize(chip.RunUntil({{}, {0x1FF}}, kRate));
    state.counters["x_realtime"] =
        benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_WatchRunsTheChip)->Unit(benchmark::kMillisecond);

} // namespace
BENCHMARK_MAIN();
