#include "dsp_runner.h"

#include "capture_input.h"
#include "playback_device.h"

#include <algorithm>

namespace {
constexpr int64_t kMicrosPerSecond = 1000000;
constexpr std::chrono::milliseconds kStoppedTick(25);
// How long the device's period waits for a chip that a verb holds.
constexpr std::chrono::microseconds kVerbWait(1000);
// How long the capture-paced chip waits for a period before it looks around.
constexpr std::chrono::microseconds kCaptureSlice(100000);
} // namespace

int64_t SamplesDue(std::chrono::microseconds elapsed, const DspPacing& pacing) {
    return elapsed.count() * pacing.sampleRate / kMicrosPerSecond;
}

std::chrono::microseconds NextBlockDue(int64_t done, const DspPacing& pacing) {
    int64_t target = done + pacing.blockSamples;
    return std::chrono::microseconds((target * kMicrosPerSecond + pacing.sampleRate - 1) /
                                     pacing.sampleRate);
}

int64_t DropBacklog(int64_t due, int64_t done, const DspPacing& pacing) {
    return due - done > pacing.maxBacklogSamples ? due - pacing.maxBacklogSamples : done;
}

DspRunner::DspRunner(SimulatedChip& chip, DspPacing pacing, DspStreams streams)
    : chip_(chip), pacing_(pacing), streams_(streams),
      audio_(streams.outputs, std::max(pacing.blockSamples,
                                       streams.playback ? streams.playback->periodFrames() : 0)) {
    chip_.FeedBus(streams.input);
    chip_.Observe(streams.recording);
    thread_ = std::thread([this] { Run(); });
}

DspRunner::~DspRunner() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
    chip_.Unobserve(streams_.recording);
    chip_.FeedBus(nullptr);
}

void DspRunner::Run() {
    if (streams_.playback && PlayToDevice())
        return;
    // A capture without a clock of its own has the system's.
    if (streams_.capture && streams_.capture->clocked() && RunByCapture())
        return;
    RunByClock();
}

bool DspRunner::PlayToDevice() {
    PlaybackDevice& device = *streams_.playback;
    CaptureInput* capture = streams_.capture;
    const int period = device.periodFrames();
    while (!stop_) {
        // A verb that holds the chip does not hold the device: it plays the
        // chip's outputs as they stand, and the verb's samples are recorded.
        // So does a capture that has not delivered the chip's first period.
        const bool due = !capture || capture->Align(period);
        const int ran = due ? chip_.RunWithin(period, audio_.Before(), kVerbWait) : -1;
        if (capture && due && ran == 0)
            capture->Stood();
        const int32_t* frames = ran < 0 ? audio_.Held(period) : audio_.Recorded(period);
        if (!device.Play(frames, period, stop_))
            return false;
    }
    return true;
}

bool DspRunner::RunByCapture() {
    CaptureInput& capture = *streams_.capture;
    const int period = capture.periodFrames();
    while (!stop_) {
        if (!capture.WaitForPeriod(period, kCaptureSlice))
            return false;
        if (chip_.RunWithin(period, {}, kVerbWait) == 0) {
            // A stopped chip costs nothing and hears nothing of the wait.
            capture.Stood();
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, kStoppedTick, [this] { return stop_.load(); });
        }
    }
    return true;
}

void DspRunner::RunByClock() {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    int64_t done = 0;
    std::unique_lock lock(mutex_);
    while (!stop_) {
        auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
        int64_t due = SamplesDue(elapsed, pacing_);
        done = DropBacklog(due, done, pacing_);
        if (chip_.Idle()) {
            // A stopped chip costs nothing; its clock stands, so it resumes
            // without a backlog. A host that steps it is heard within a tick.
            done = due;
            wake_.wait_for(lock, kStoppedTick, [this] { return stop_.load(); });
            continue;
        }
        while (done + pacing_.blockSamples <= due && !stop_) {
            lock.unlock();
            RunBlock(pacing_.blockSamples);
            lock.lock();
            done += pacing_.blockSamples;
        }
        wake_.wait_until(lock, start + NextBlockDue(done, pacing_),
                         [this] { return stop_.load(); });
    }
}

void DspRunner::RunBlock(int samples) {
    chip_.Run(samples);
}
