// Whole reads through the library and the real emuapsd process, running the
// demo patch: the microcode (2,048 port requests) and the register window's
// image (1,024), on a quiet machine and with two CPU-bound processes beside
// them, each call timed. The floor is the same microcode read on the chip
// model in-process: the request checks and the port accesses alone.
#include "aps_request.h"
#include "busy_machine.h"
#include "chip_ports.h"
#include "demo_service.h"
#include "latency.h"
#include "simulated_chip.h"
#include "zendra.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

bool gServiceReady = false;

// Times each call of read; with busy, two busy loops run meanwhile.
template <typename Read> void TimedReads(benchmark::State& state, bool busy, Read read) {
    if (!gServiceReady) {
        state.SkipWithError("emuapsd could not be started");
        return;
    }
    std::unique_ptr<BusyMachine> load;
    if (busy)
        load = std::make_unique<BusyMachine>(2);
    Latencies latencies;
    for (auto _ : state) {
        const auto start = Clock::now();
        if (read() != 0) {
            state.SkipWithError("a read failed");
            return;
        }
        const auto took = Clock::now() - start;
        state.SetIterationTime(std::chrono::duration<double>(took).count());
        latencies.add(took);
    }
    latencies.report(state);
}

void BM_MicrocodeRead(benchmark::State& state) {
    std::vector<MicrocodeInstruction> code(512);
    TimedReads(state, state.range(0) != 0, [&] { return ifInstrMemoryReadAll(512, code.data()); });
    state.counters["requests"] =
        benchmark::Counter(2048, benchmark::Counter::kIsIterationInvariantRate);
}
// Quiet, then busy; 200 timed reads each.
void QuietThenBusy(benchmark::internal::Benchmark* b) {
    b->ArgName("busy")->Arg(0)->Arg(1)->Iterations(200)->UseManualTime()->Unit(
        benchmark::kMillisecond);
}
BENCHMARK(BM_MicrocodeRead)->Apply(QuietThenBusy);

void BM_RegisterWindowRead(benchmark::State& state) {
    std::vector<int32_t> values(512);
    TimedReads(state, state.range(0) != 0,
               [&] { return ifGPRMemoryReadAll(0x100, 512, values.data()); });
}
BENCHMARK(BM_RegisterWindowRead)->Apply(QuietThenBusy);

void BM_RegisterReadThroughService(benchmark::State& state) {
    int32_t value = 0;
    for (auto _ : state) {
        ifGPRMemoryRead(0x100, &value);
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_RegisterReadThroughService)->UseRealTime()->Unit(benchmark::kMicrosecond);

uint32_t PortOnModel(const ApsChipPorts& ports, uint16_t function, uint16_t port, uint32_t value) {
    ApsIoRequest request = {function, port, value};
    uint8_t block[APS_REQUEST_SIZE];
    ApsPackRequest(&request, block);
    uint8_t out[4] = {};
    ApsCarryOutRequest(&ports, APS_IOCTL_CODE, block, sizeof block, out,
                       function == APS_FN_READ_PORT ? 4 : 0, nullptr);
    return ApsGet32(out);
}

void BM_MicrocodeReadOnModelInProcess(benchmark::State& state) {
    SimulatedChip chip;
    ChipImageResult image =
        LoadChipImageFile(std::string(VELMORA_PROGRAM_DIR) + "/images/demo.chip");
    if (image.image)
        chip.Load(*image.image);
    std::vector<uint32_t> words(1024);
    const ApsChipPorts ports = chip.Ports();
    for (auto _ : state) {
        for (uint32_t reg = 0; reg < 1024; ++reg) {
            PortOnModel(ports, APS_FN_WRITE_PORT, APS_PORT_POINTER, (0x400 + reg) << 16);
            words[reg] = PortOnModel(ports, APS_FN_READ_PORT, APS_PORT_DATA, 0);
        }
        benchmark::DoNotOptimize(words.data());
    }
}
BENCHMARK(BM_MicrocodeReadOnModelInProcess)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    DemoService service(true);
    gServiceReady = service.ready();
    if (!gServiceReady)
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
