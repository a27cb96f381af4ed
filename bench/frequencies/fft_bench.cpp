#include "frequency_analyzer.h"
#include "real_fft.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

std::vector<double> Noise(std::size_t count) {
    std::mt19937 random(27);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<double> samples(count);
    for (double& sample : samples)
        sample = uniform(random);
    return samples;
}

// The share of one core this costs when done 30 times a second.
benchmark::Counter ShareAt30PerSecond() {
    return benchmark::Counter(1.0 / 30.0, benchmark::Counter::kIsIterationInvariantRate |
                                              benchmark::Counter::kInvert);
}

void BM_RealFft(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    RealFft fft(size);
    const std::vector<double> samples = Noise(size);
    std::copy(samples.begin(), samples.end(), fft.input());
    std::vector<double> powers;
    for (auto _ : state) {
        fft.powers(powers);
        benchmark::DoNotOptimize(powers.data());
    }
    state.counters["cpu_s_per_s_at_30Hz"] = ShareAt30PerSecond();
}

// A frame as the scope makes one: 1,600 new samples (48 kHz / 30), then a
// spectrum of the latest fftSize, averaged over the most the user can pick.
void BM_SpectrumFrame(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    FrequencyAnalyzer analyzer(size);
    analyzer.setAverageDepth(64);
    const std::vector<double> samples = Noise(size + 1600);
    analyzer.feed(samples.data(), size);
    for (auto _ : state) {
        analyzer.feed(samples.data() + size, 1600);
        benchmark::DoNotOptimize(analyzer.update());
    }
    state.counters["cpu_s_per_s_at_30Hz"] = ShareAt30PerSecond();
}

// What the plot reads for one drawing: the strongest bin of each of 800
// pixel columns, in dBFS.
void BM_PlotColumns(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    FrequencyAnalyzer analyzer(size);
    const std::vector<double> samples = Noise(size);
    analyzer.feed(samples.data(), size);
    analyzer.update();
    const LogAxis axis{800.0};
    for (auto _ : state)
        for (int column = 0; column < 800; ++column)
            benchmark::DoNotOptimize(analyzer.readingAt(axis, column).dbfs);
    state.counters["cpu_s_per_s_at_30Hz"] = ShareAt30PerSecond();
}

} // namespace

BENCHMARK(BM_RealFft)->RangeMultiplier(2)->Range(1024, 65536)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SpectrumFrame)->RangeMultiplier(2)->Range(1024, 65536)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlotColumns)->Arg(1024)->Arg(65536)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
