// What F5 in the microcode window costs, from the menu action to a listing
// that is fully styled and marked: the code read through Zendra and the
// emuapsd service (2,048 port requests), the fill, the colouring and the
// marks. The steps are also measured one by one to show their shares.
#include "busy_machine.h"
#include "chip_snapshots.h"
#include "code_view.h"
#include "demo_service.h"
#include "latency.h"
#include "listing_language.h"
#include "microcode_window.h"
#include "symbol_file.h"
#include "zendra.h"

#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QApplication>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>

namespace {

bool gServiceReady = false;

void Colourise(QsciScintilla* view) {
    view->SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0ul, -1l);
}

QsciScintilla* CodeViewOf(MicrocodeWindow& window) {
    return window.findChild<QsciScintilla*>("CodeView");
}

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The whole update: read, fill, mark, caret info; then the colouring that
// the first paint would do. readTime collects the time spent in the read.
void UpdateAndStyle(benchmark::State& state, MicrocodeWindow& window,
                    const Clock::duration& readTime) {
    QAction* update = window.findChild<QAction*>("mnuViewUpdate");
    QsciScintilla* view = CodeViewOf(window);
    Clock::duration updateTime{};
    Clock::duration lexTime{};
    for (auto _ : state) {
        const auto start = Clock::now();
        update->trigger();
        const auto updated = Clock::now();
        Colourise(view);
        updateTime += updated - start;
        lexTime += Clock::now() - updated;
    }
    const auto perIteration = benchmark::Counter::kAvgIterations;
    state.counters["read_ms"] = benchmark::Counter(Milliseconds(readTime), perIteration);
    state.counters["fill_mark_ms"] =
        benchmark::Counter(Milliseconds(updateTime - readTime), perIteration);
    state.counters["lex_ms"] = benchmark::Counter(Milliseconds(lexTime), perIteration);
}

// The program's code snapshot, read through Zendra, with the read timed.
CodeSource TimedChipSource(Clock::duration& readTime) {
    return {[&readTime] {
                const auto start = Clock::now();
                ReadCodeSnapshot();
                readTime += Clock::now() - start;
            },
            &CodeSnapshot()};
}

void BM_F5ThroughService(benchmark::State& state) {
    if (!gServiceReady) {
        state.SkipWithError("emuapsd could not be started");
        return;
    }
    Clock::duration readTime{};
    QAction entry;
    MicrocodeWindow window(&entry, TimedChipSource(readTime));
    readTime = {};
    UpdateAndStyle(state, window, readTime);
    window.allowClose();
}
BENCHMARK(BM_F5ThroughService)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

// F5 through the service with two CPU-bound processes beside it, each F5
// timed from the menu action to the styled listing.
void BM_F5ThroughServiceBusy(benchmark::State& state) {
    if (!gServiceReady) {
        state.SkipWithError("emuapsd could not be started");
        return;
    }
    QAction entry;
    MicrocodeWindow window(&entry);
    QAction* update = window.findChild<QAction*>("mnuViewUpdate");
    QsciScintilla* view = CodeViewOf(window);
    BusyMachine load(2);
    Latencies latencies;
    for (auto _ : state) {
        const auto start = Clock::now();
        update->trigger();
        Colourise(view);
        const auto took = Clock::now() - start;
        state.SetIterationTime(std::chrono::duration<double>(took).count());
        latencies.add(took);
    }
    latencies.report(state);
    window.allowClose();
}
BENCHMARK(BM_F5ThroughServiceBusy)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same window fed from memory, two programs in turn so that lines change.
void BM_F5InMemory(benchmark::State& state) {
    CodeHistory history;
    std::vector<MicrocodeInstruction> programs[2];
    programs[0].assign(512, MicrocodeInstruction{6, 0x40, 0x40, 0x40, 0x40});
    programs[1] = programs[0];
    for (int i = 0; i < 512; i += 4)
        programs[1][i] = {0, 0x100 + i / 4, 0x10, 0x101, 0x20};
    int reads = 0;
    CodeSource source{[&] {
                          const auto& program = programs[reads++ % 2];
                          RefreshOrEnd(history, [&](MicrocodeInstruction* code) {
                              std::copy(program.begin(), program.end(), code);
                              return 0;
                          });
                      },
                      &history};
    QAction entry;
    MicrocodeWindow window(&entry, source);
    const Clock::duration noRead{};
    UpdateAndStyle(state, window, noRead);
    window.allowClose();
}
BENCHMARK(BM_F5InMemory)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

void BM_ReadCodeSnapshot(benchmark::State& state) {
    if (!gServiceReady) {
        state.SkipWithError("emuapsd could not be started");
        return;
    }
    for (auto _ : state)
        ReadCodeSnapshot();
}
BENCHMARK(BM_ReadCodeSnapshot)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

class StandaloneView {
  public:
    StandaloneView() {
        view_.resize(538, 308);
        SetUpCodeView(&view_);
        view_.show();
        code_.assign(512, MicrocodeInstruction{0, 0x40, 0x10, 0x100, 0x20});
        FillListing(&view_, code_);
    }
    QsciScintilla* view() { return &view_; }
    const std::vector<MicrocodeInstruction>& code() const { return code_; }

  private:
    QsciScintilla view_;
    std::vector<MicrocodeInstruction> code_;
};

void BM_FillListing(benchmark::State& state) {
    StandaloneView v;
    for (auto _ : state)
        FillListing(v.view(), v.code());
}
BENCHMARK(BM_FillListing)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

void BM_ColouriseListing(benchmark::State& state) {
    StandaloneView v;
    for (auto _ : state) {
        state.PauseTiming();
        FillListing(v.view(), v.code());
        state.ResumeTiming();
        Colourise(v.view());
    }
}
BENCHMARK(BM_ColouriseListing)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    try {
        LoadSymbolFile();
        RegisterListingLanguage();
    } catch (const std::exception& e) {
        std::cerr << "listing language: " << e.what() << '\n';
        return 1;
    }
    DemoService service(true);
    gServiceReady = service.ready();

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
