// Port requests through the library and the real emuapsd process, beside the
// same microcode read done on the chip model in-process (the floor: the
// request checks and the port accesses without any transport).
#include "aps_request.h"
#include "chip_ports.h"
#include "demo_service.h"
#include "simulated_chip.h"
#include "zendra.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

const std::string kDemo = std::string(VELMORA_PROGRAM_DIR) + "/images/demo.chip";

void BM_RegisterReadThroughService(benchmark::State& state) {
    int32_t value = 0;
    for (auto _ : state) {
        ifGPRMemoryRead(0x100, &value);
        benchmark::DoNotOptimize(value);
    }
    // Two port requests per register read.
    state.counters["requests"] =
        benchmark::Counter(2, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RegisterReadThroughService)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_MicrocodeReadThroughService(benchmark::State& state) {
    std::vector<MicrocodeInstruction> code(512);
    for (auto _ : state) {
        ifInstrMemoryReadAll(512, code.data());
        benchmark::DoNotOptimize(code.data());
    }
    state.counters["requests"] =
        benchmark::Counter(2048, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_MicrocodeReadThroughService)->UseRealTime()->Unit(benchmark::kMillisecond);

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
    ChipImageResult image = LoadChipImageFile(kDemo);
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
    DemoService service;
    if (!service.ready())
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
