// What an update of the tank window costs: reading the 256 TRAM address
// registers through Zendra and the emuapsd service (512 port requests), the
// analysis and the tree rebuild. The in-memory runs are the floor without the chip.
#include "demo_service.h"
#include "find_tanks.h"
#include "tank_window.h"
#include "zendra.h"

#include <QAction>
#include <QApplication>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <memory>

namespace {

bool gServiceReady = false;

// A read that failed quickly would pass for a fast one: the demo chip has
// tanks in both pools, so their absence means the service stopped answering.
void CheckDemoTanks(benchmark::State& state, const TankMemory& tanks) {
    if (tanks.InternalTanks.empty() || tanks.ExternalTanks.empty())
        state.SkipWithError("the demo chip's tanks were not read");
}

// A busy but legal image: 32 internal tanks of three read points each and 8
// external tanks of three.
TramAddrImage BusyImage() {
    TramAddrImage image{};
    for (int t = 0; t < 32; ++t) {
        image[t] = kTramWriteBit | (t * 200);
        for (int k = 0; k < 3; ++k)
            image[32 + 3 * t + k] = kTramReadBit | (t * 200 + 50 * (k + 1));
    }
    for (int t = 0; t < 8; ++t) {
        image[128 + t] = kTramWriteBit | (t * 4000);
        for (int k = 0; k < 3; ++k)
            image[136 + 3 * t + k] = kTramReadBit | (t * 4000 + 1000 * (k + 1));
    }
    return image;
}

void UpdateWindow(benchmark::State& state, TankWindow& window) {
    QAction* update = window.findChild<QAction*>("mnuViewUpdate");
    for (auto _ : state)
        update->trigger();
}

void BM_TankUpdateThroughService(benchmark::State& state) {
    if (!gServiceReady) {
        state.SkipWithError("emuapsd could not be started");
        return;
    }
    QAction entry;
    TankWindow window(&entry); // the program's tank state, read through Zendra
    window.show();
    UpdateWindow(state, window);
    CheckDemoTanks(state, Tanks());
    window.allowClose();
}
BENCHMARK(BM_TankUpdateThroughService)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_TramReadThroughService(benchmark::State& state) {
    if (!gServiceReady) {
        state.SkipWithError("emuapsd could not be started");
        return;
    }
    TankMemory tanks;
    for (auto _ : state)
        benchmark::DoNotOptimize(ifGPRMemoryReadAll(0x300, 256, tanks.Image.data()));
    AnalyseTanks(tanks, [](int32_t, int32_t, int32_t*) { return 0; }); // keeps the image
    CheckDemoTanks(state, tanks);
}
BENCHMARK(BM_TramReadThroughService)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_AnalyseThroughService(benchmark::State& state) {
    if (!gServiceReady) {
        state.SkipWithError("emuapsd could not be started");
        return;
    }
    TankMemory tanks;
    for (auto _ : state)
        AnalyseTanks(tanks, &ifGPRMemoryReadAll);
    CheckDemoTanks(state, tanks);
}
BENCHMARK(BM_AnalyseThroughService)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_TankUpdateInMemory(benchmark::State& state) {
    const TramAddrImage busy = BusyImage();
    TankMemory tanks;
    QAction entry;
    TankWindow window(&entry, tanks, [&busy](int32_t, int32_t count, int32_t* values) {
        std::copy_n(busy.begin(), std::min(count, 256), values);
        return 0;
    });
    window.show();
    UpdateWindow(state, window);
    window.allowClose();
}
BENCHMARK(BM_TankUpdateInMemory)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_FindTanksBusyImage(benchmark::State& state) {
    const TramAddrImage busy = BusyImage();
    TankList internal;
    TankList external;
    for (auto _ : state) {
        FindTanks(busy, 0, 128, internal);
        FindTanks(busy, 128, 32, external);
        benchmark::DoNotOptimize(internal.data());
        benchmark::DoNotOptimize(external.data());
    }
}
BENCHMARK(BM_FindTanksBusyImage)->Unit(benchmark::kMicrosecond);

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
