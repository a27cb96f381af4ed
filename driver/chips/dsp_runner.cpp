#include "dsp_runner.h"

#include "recording_queue.h"

namespace {
constexpr int64_t kMicrosPerSecond = 1000000;
constexpr std::chrono::milliseconds kStoppedTick(25);
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
      audio_(streams.input,
             streams.recording ? streams.recording->record() : std::vector<uint32_t>{},
             pacing.blockSamples),
      thread_([this] { Run(); }) {}

DspRunner::~DspRunner() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void DspRunner::Run() {
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
            wake_.wait_for(lock, kStoppedTick, [this] { return stop_; });
            continue;
        }
        while (done + pacing_.blockSamples <= due && !stop_) {
            lock.unlock();
            RunBlock();
            lock.lock();
            done += pacing_.blockSamples;
        }
        wake_.wait_until(lock, start + NextBlockDue(done, pacing_), [this] { return stop_; });
    }
}

void DspRunner::RunBlock() {
    const int samples = pacing_.blockSamples;
    // The recording pauses with the chip.
    if (chip_.Run(samples, audio_.Before(samples)) > 0 && streams_.recording)
        streams_.recording->Push(audio_.Recorded(samples), samples);
}
