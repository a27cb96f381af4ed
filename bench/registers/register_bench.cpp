// What an update of the register window costs: reading registers 0x100 to
// 0x2FF through Zendra and the emuapsd service (1,024 port requests), writing
// the 512 grid cells and colouring the changed ones. The in-memory runs are
// the floor without the chip.
#include "demo_service.h"
#include "fraction_text.h"
#include "register_window.h"
#include "zendra.h"

#include <QAction>
#include <QApplication>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <vector>

namespace {

bool gServiceReady = false;

void Update(RegisterWindow& window) {
    window.findChild<QAction*>("mnuViewUpdate")->trigger();
}

// F5 with the program's snapshot; before each one, every fourth register
// changes on the chip (written outside the timing), so 128 cells turn navy.
void BM_RegisterUpdateThroughService(benchmark::State& state) {
    if (!gServiceReady) {
        state.SkipWithError("emuapsd could not be started");
        return;
    }
    QAction entry;
    RegisterWindow window(&entry);
    window.show();
    int32_t round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ++round;
        for (int32_t address = 0x100; address < 0x300; address += 4)
            ifGPRMemoryWrite(address, &round);
        state.ResumeTiming();
        Update(window);
    }
    window.allowClose();
}
BENCHMARK(BM_RegisterUpdateThroughService)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_GprReadThroughService(benchmark::State& state) {
    if (!gServiceReady) {
        state.SkipWithError("emuapsd could not be started");
        return;
    }
    std::vector<int32_t> values(512);
    for (auto _ : state)
        benchmark::DoNotOptimize(ifGPRMemoryReadAll(0x100, 512, values.data()));
}
BENCHMARK(BM_GprReadThroughService)->Unit(benchmark::kMillisecond)->Repetitions(5);

// Every register changes on every update: the most colouring there can be.
void BM_RegisterUpdateInMemory(benchmark::State& state) {
    GprHistory images;
    int32_t round = 0;
    QAction entry;
    RegisterWindow window(&entry, images, [&] {
        ++round;
        images.Refresh([round](int32_t* values) {
            std::fill_n(values, GprHistory::kSize, round * 0x01000001);
            return 0;
        });
    });
    window.show();
    for (auto _ : state)
        Update(window);
    window.allowClose();
}
BENCHMARK(BM_RegisterUpdateInMemory)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_FractionText(benchmark::State& state) {
    int32_t value = 0x12345678;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FractionText(value));
        value += 0x01010101;
    }
}
BENCHMARK(BM_FractionText);

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    DemoService service;
    gServiceReady = service.ready();

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
