// An offline render as emuapsd --render runs it: 60 seconds of a stereo WAV
// file through the demo chip with the demo patch, both outputs written to a
// float WAV file; the same played as emuapsd --run --play=null --output runs
// it, where the system clock holds the null device to real time, so the play
// takes its 60 s and counts what the chip and its streams cost in them;
// beside them the interpreter alone on
// the same program, in the real-time thread's blocks of 48 samples. All as
// multiples of real time on one core. The render and the play count the
// processor time of all their threads, so a busy machine slows neither.
#include "demo_chip.h"
#include "dsp_runner.h"
#include "engine_choice.h"
#include "fx8010_interpreter.h"
#include "render_mode.h"
#include "service_audio.h"
#include "support/temp_dir.h"
#include "wav_input.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <condition_variable>
#include <ctime>
#include <mutex>
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

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
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
    ChooseEngine(state);
    const ChipImage chip = DemoChipWithPatch();
    sigset_t none;
    sigemptyset(&none);
    for (auto _ : state) {
        const double start = ProcessCpuSeconds();
        std::string error;
        std::unique_ptr<WavInput> in = WavInput::Open(input, true, &error);
        if (!in || RenderMode(options, chip, in.get(), none, [](const std::string&) {}) != 0) {
            state.SkipWithError(("render failed: " + error).c_str());
            return;
        }
        state.SetIterationTime(ProcessCpuSeconds() - start);
    }
    state.counters["x_realtime"] =
        benchmark::Counter(kSeconds, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Render60sOfStereoThroughTheDemoPatch)
    ->ArgName("reference")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kSecond)
    ->Iterations(3)
    ->UseManualTime();

// The service's device, and a word to the benchmark once it took a run.
class CountedDevice : public PlaybackDevice {
  public:
    CountedDevice(PlaybackDevice& device, int64_t samples) : device_(device), samples_(samples) {}
    int periodFrames() const override { return device_.periodFrames(); }
    bool Play(const int32_t* frames, int count, const std::atomic<bool>& stopping) override {
        bool played = device_.Play(frames, count, stopping);
        std::lock_guard lock(mutex_);
        played_ += count;
        if (played_ >= samples_ || !played)
            done_.notify_all();
        return played;
    }
    void Wait() {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [this] { return played_ >= samples_; });
    }

  private:
    PlaybackDevice& device_;
    int64_t samples_;
    int64_t played_ = 0;
    std::mutex mutex_;
    std::condition_variable done_;
};

void BM_Play60sOfStereoThroughTheDemoPatchToNull(benchmark::State& state) {
    TempDir dir;
    ServiceOptions options;
    options.inputPath = dir.path() + "/in.wav";
    options.outputPath = dir.path() + "/out.wav";
    options.run = true;
    options.playPcm = "null";
    if (!WriteStereoInput(options.inputPath)) {
        state.SkipWithError("cannot write the input file");
        return;
    }
    const ChipImage image = DemoChipWithPatch();
    for (auto _ : state) {
        const double start = ProcessCpuSeconds();
        std::string error;
        std::unique_ptr<ServiceAudio> audio = ServiceAudio::Open(options, nullptr, &error);
        if (!audio || !(error = audio->StartRecording(nullptr)).empty()) {
            state.SkipWithError(("cannot play: " + error).c_str());
            return;
        }
        SimulatedChip chip;
        chip.Load(image);
        DspStreams streams = audio->streams();
        CountedDevice counted(*streams.playback, int64_t(kSeconds) * kRate);
        streams.playback = &counted;
        {
            DspRunner runner(chip, DspPacing{}, streams);
            counted.Wait();
        }
        audio->Finish();
        state.SetIterationTime(ProcessCpuSeconds() - start);
    }
    state.counters["x_realtime"] =
        benchmark::Counter(kSeconds, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Play60sOfStereoThroughTheDemoPatchToNull)
    ->Unit(benchmark::kSecond)
    ->Iterations(3)
    ->UseManualTime();

void BM_InterpreterAloneOnTheDemoPatch(benchmark::State& state) {
    constexpr int kBlock = 48;
    ChipImage chip = DemoChipWithPatch();
    Fx8010Interpreter dsp;
    dsp.SetEngine(ChooseEngine(state));
    for (auto _ : state) {
        dsp.Run(chip, kBlock);
        benchmark::DoNotOptimize(chip.registers.data());
    }
    state.counters["x_realtime"] =
        benchmark::Counter(double(kBlock) / kRate, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_InterpreterAloneOnTheDemoPatch)
    ->ArgName("reference")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
