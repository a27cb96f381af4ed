// An offline render as emuapsd --render runs it: 60 seconds of a stereo WAV
// file through the demo chip with the demo patch, both outputs written to a
// float WAV file; beside it the interpreter alone on the same program, in
// the real-time thread's blocks of 48 samples. Both as multiples of real time
// on one core.
#include "demo_chip.h"
#include "fx8010_interpreter.h"
#include "render_mode.h"
#include "support/temp_dir.h"
#include "wav_input.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <sndfile.h>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr int kSeconds = 60;

// 60 s of two tones, one a side, as 16-bit PCM.
bool WriteStereoInput(const std::string& path) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    std::vector<short> second(2 * kRate);
    for (int n = 0; n < kRate; ++n) {
        second[2 * n] = short(12000 * std::sin(2 * M_PI * 440 * n / kRate));
        second[2 * n + 1] = short(12000 * std::sin(2 * M_PI * 660 * n / kRate));
    }
    bool whole = true;
    for (int s = 0; s < kSeconds; ++s)
        whole = whole && sf_writef_short(file, second.data(), kRate) == kRate;
    return sf_close(file) == 0 && whole;
}

void BM_Render60sOfStereoThroughTheDemoPatch(benchmark::State& state) {
    TempDir dir;
    const std::string input = dir.path() + "/in.wav";
    if (!WriteStereoInput(input)) {
        state.SkipWithError("cannot write the input file");
        return;
    }
    ServiceOptions options;
    options.inputPath = input;
    options.outputPath = dir.path() + "/out.wav";
    options.renderSamples = int64_t(kSeconds) * kRate;
    const ChipImage chip = DemoChipWithPatch();
    sigset_t none;
    sigemptyset(&none);
    for (auto _ : state) {
        std::string error;
        std::unique_ptr<WavInput> in = WavInput::Open(input, true, &error);
        if (!in || RenderMode(options, chip, in.get(), none, [](const std::string&) {}) != 0) {
            state.SkipWithError(("render failed: " + error).c_str());
            return;
        }
    }
    state.counters["x_realtime"] =
        benchmark::Counter(kSeconds, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Render60sOfStereoThroughTheDemoPatch)->Unit(benchmark::kSecond)->Iterations(3);

void BM_InterpreterAloneOnTheDemoPatch(benchmark::State& state) {
    constexpr int kBlock = 48;
    ChipImage chip = DemoChipWithPatch();
    Fx8010Interpreter dsp;
    for (auto _ : state) {
        dsp.Run(chip, kBlock);
        benchmark::DoNotOptimize(chip.registers.data());
    }
    state.counters["x_realtime"] =
        benchmark::Counter(double(kBlock) / kRate, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_InterpreterAloneOnTheDemoPatch)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
