// The chip fed by a capture device on a test clock that moves only as the
// devices wait, so a minute of sound runs in seconds. Between a capture and
// a playback on two clocks, every frame the capture delivers is heard in
// order but for the counted corrections, the distance stays within its
// bound, and what the chip computed is what was played, without a gap. The
// samples a verb runs hear the frames captured for them, after a stand that
// dropped the past; a device that goes away leaves the bus silent.
#include "capture_input.h"
#include "dsp_runner.h"
#include "fx8010_interpreter.h"
#include "playback_device.h"
#include "support/eventually.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <mutex>

namespace {

constexpr int kRate = 48000, kPeriod = 240, kBuffer = 4 * kPeriod; // --latency 20
constexpr double kSeconds = 60;

// Seconds of simulated time, moved on by whichever device waits.
struct TestClock {
    std::mutex mutex;
    double now = 0;
};

// Plays at 48 kHz by the test clock from its first period, holding a buffer;
// notes when each frame is heard. Past the end it holds the chip until stopped.
class ClockedPlayback : public PlaybackDevice {
  public:
    explicit ClockedPlayback(TestClock& clock) : clock_(clock) {}
    int periodFrames() const override { return kPeriod; }
    bool Play(const int32_t* frames, int count, const std::atomic<bool>& stopping) override {
        std::unique_lock lock(clock_.mutex);
        if (written_ == 0)
            start_ = clock_.now;
        // Room comes as the clock plays the buffer.
        clock_.now = std::max(clock_.now, start_ + double(written_ + count - kBuffer) / kRate);
        for (int i = 0; i < count; ++i)
            heard.push_back({frames[i], start_ + double(written_ + i) / kRate});
        written_ += count;
        while (clock_.now >= kSeconds && !stopping) {
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            lock.lock();
        }
        return true;
    }
    struct Heard {
        int32_t value;
        double at;
    };
    std::vector<Heard> heard; // read once the runner is gone

  private:
    TestClock& clock_;
    int64_t written_ = 0;
    double start_ = 0;
};

// Captures at `rate` by the test clock, a period at a time, from the chip's
// first look; frame k holds k + 1 (shifted to the top) on channel 0.
class ClockedCapture : public CaptureDevice {
  public:
    ClockedCapture(TestClock& clock, double rate, double goneAt = 1e9)
        : clock_(clock), rate_(rate), goneAt_(goneAt) {}
    int periodFrames() const override { return kPeriod; }
    int channels() const override { return 2; }
    int64_t Wait(int64_t frames, std::chrono::microseconds most) override {
        std::lock_guard lock(clock_.mutex);
        if (!started_) {
            started_ = true;
            start_ = clock_.now;
        }
        if (Held() < frames && most.count() > 0) {
            const int64_t periods = (gone_ + frames + kPeriod - 1) / kPeriod;
            const double arrives = start_ + double(periods * kPeriod) / rate_;
            clock_.now =
                std::max(clock_.now, std::min(arrives, clock_.now + 1e-6 * double(most.count())));
        }
        return clock_.now >= goneAt_ ? -1 : Held();
    }
    int Take(int32_t* frames, int count) override {
        std::lock_guard lock(clock_.mutex);
        const int n = int(std::min<int64_t>(count, Held()));
        for (int i = 0; i < n; ++i) {
            frames[2 * i] = int32_t((gone_ + i + 1) << 8);
            frames[2 * i + 1] = 0;
        }
        gone_ += n;
        return n;
    }
    int64_t Drop(int64_t count) override {
        std::lock_guard lock(clock_.mutex);
        const int64_t n = std::min(count, Held());
        gone_ += n;
        return n;
    }
    // When frame k (0 first) entered the device.
    double CapturedAt(int64_t k) const { return start_ + double(k) / rate_; }

  private:
    int64_t Held() const {
        const int64_t delivered =
            int64_t(std::floor((clock_.now - start_) * rate_ / kPeriod + 1e-6)) * kPeriod;
        return started_ ? delivered - gone_ : 0;
    }
    TestClock& clock_;
    double rate_, goneAt_;
    bool started_ = false;
    double start_ = 0;
    int64_t gone_ = 0; // taken or dropped
};

// What each sample of the chip computed into 0x20, as a recording hears it.
struct Recorder : SampleObserver {
    void SampleEnded(const Fx8010Interpreter& dsp) override {
        std::lock_guard lock(mutex);
        values.push_back(dsp.Operand(0x20));
    }
    std::vector<int32_t> Values() {
        std::lock_guard lock(mutex);
        return values;
    }
    std::mutex mutex;
    std::vector<int32_t> values;
};

// 0x20 = effects bus 0; the rest does nothing.
ChipImage CopiesBusZero() {
    ChipImage image;
    auto instr = [&](int i, uint32_t r, uint32_t a) {
        image.registers[kMicrocodeBase + 2 * i] = (0x40u << 10) | 0x40u;
        image.registers[kMicrocodeBase + 2 * i + 1] = (6u << 20) | (r << 10) | a;
    };
    for (int i = 0; i < kMicrocodeSize; ++i)
        instr(i, 0x40, 0x40);
    instr(0, 0x20, 0x00);
    return image;
}

double Now(TestClock& clock) {
    std::lock_guard lock(clock.mutex);
    return clock.now;
}

TEST(CaptureDrift, AMinuteOfDriftIsHeardInOrderButForTheCountedCorrections) {
    const ChipImage image = CopiesBusZero();
    for (double drift : {+0.001, -0.001}) {
        SCOPED_TRACE(drift);
        SimulatedChip chip;
        chip.Load(image);
        TestClock clock;
        ClockedPlayback playback(clock);
        ClockedCapture device(clock, kRate * (1 + drift));
        CaptureInput input(device);
        Recorder recorder;
        {
            DspRunner runner(chip, DspPacing{}, {&input, {0x20}, &recorder, &playback, &input});
            ASSERT_TRUE(
                Eventually([&] { return Now(clock) >= kSeconds; }, std::chrono::minutes(5)));
        }
        // Before the chip's first period the playback plays silence; from it on,
        // each frame heard is the next captured, again or after dropped ones.
        std::vector<std::string> wrong;
        std::size_t first = 0;
        while (first < playback.heard.size() && playback.heard[first].value == 0)
            ++first;
        int64_t dropped = 0, repeated = 0, last = 0;
        double longest = 0, shortest = 1e9;
        std::vector<int32_t> played;
        for (std::size_t i = first; i < playback.heard.size(); ++i) {
            const int64_t k = playback.heard[i].value >> 8;
            if (k < last && wrong.size() < 5)
                wrong.push_back("frame " + std::to_string(k) + " after " + std::to_string(last));
            repeated += k == last;
            dropped += std::max<int64_t>(k - last - 1, 0);
            last = k;
            const double trip = playback.heard[i].at - device.CapturedAt(k - 1);
            longest = std::max(longest, trip);
            shortest = std::min(shortest, trip);
            played.push_back(playback.heard[i].value);
        }
        EXPECT_TRUE(wrong.empty()) << ::testing::PrintToString(wrong);
        EXPECT_EQ(dropped, input.dropped());
        EXPECT_EQ(repeated, input.repeated());
        // The capture's frames beyond the playback's are what was corrected.
        const double extra = drift * double(played.size());
        EXPECT_NEAR(double(dropped - repeated), extra, 3 * kPeriod);
        EXPECT_GT(dropped + repeated, 0);
        // The distance stays within its bound; the README's round trip is at
        // most twice --latency.
        EXPECT_LE(input.mostWaiting(), 3 * kPeriod);
        EXPECT_LE(longest, 2 * double(kBuffer) / kRate);
        EXPECT_LE(longest - shortest, 3.0 * kPeriod / kRate);
        // What was played is what the chip computed, every sample of it.
        recorder.values.resize(std::min(recorder.values.size(), played.size()));
        EXPECT_EQ(recorder.values,
                  std::vector<int32_t>(played.begin(), played.begin() + recorder.values.size()));
        EXPECT_GE(recorder.values.size() + 2 * kPeriod, played.size());
    }
}

// Paced by the capture alone: the chip stops and stands a second, then each
// verb's samples hear consecutive frames from the present on.
TEST(CaptureDrift, AVerbsSamplesHearTheFramesCapturedForThemAndAStandDropsThePast) {
    SimulatedChip chip;
    chip.Load(CopiesBusZero());
    TestClock clock;
    ClockedCapture device(clock, kRate);
    CaptureInput input(device);
    Recorder recorder;
    DspRunner runner(chip, DspPacing{}, {&input, {}, &recorder, nullptr, &input});
    ASSERT_TRUE(Eventually([&] { return Now(clock) >= 1; }));
    chip.Stop();
    const std::pair<const char*, std::function<void()>> verbs[] = {
        {"advance 4800", [&] { chip.Advance(4800); }},
        {"a break after 4800", [&] { chip.RunUntil({}, 4800); }},
    };
    std::vector<std::string> wrong;
    for (const auto& [what, verb] : verbs) {
        // A second passes; the runner sees the chip stand and drops it.
        {
            std::lock_guard lock(clock.mutex);
            clock.now += 1;
        }
        ASSERT_TRUE(Eventually([&] { return device.Wait(0, {}) == 0; }));
        const std::size_t before = recorder.Values().size();
        const double from = Now(clock);
        verb();
        const std::vector<int32_t> heard = recorder.Values();
        if (heard.size() != before + 4800) {
            wrong.push_back(std::string(what) + ": ran " + std::to_string(heard.size() - before));
            continue;
        }
        const int64_t first = heard[before] >> 8;
        for (std::size_t i = before + 1; i < heard.size(); ++i)
            if (heard[i] != heard[i - 1] + (1 << 8)) {
                wrong.push_back(std::string(what) + ": a gap at sample " + std::to_string(i));
                break;
            }
        if (device.CapturedAt(first - 1) < from - 2.0 * kPeriod / kRate)
            wrong.push_back(std::string(what) + ": heard the stand's frames, from " +
                            std::to_string(device.CapturedAt(first - 1)) + " s");
    }
    EXPECT_TRUE(wrong.empty()) << ::testing::PrintToString(wrong);
}

TEST(CaptureDrift, ADeviceThatGoesAwayLeavesTheBusSilentAndTheChipRunning) {
    SimulatedChip chip;
    chip.Load(CopiesBusZero());
    TestClock clock;
    ClockedCapture device(clock, kRate, 0.5);
    CaptureInput input(device);
    Recorder recorder;
    DspRunner runner(chip, DspPacing{}, {&input, {}, &recorder, nullptr, &input});
    // Gone at 0.5 s of its clock; the chip goes on by the system's.
    ASSERT_TRUE(
        Eventually([&] { return recorder.Values().size() > std::size_t(kRate) / 2 + 4800; }));
    const std::vector<int32_t> heard = recorder.Values();
    EXPECT_NE(heard[kRate / 4], 0) << "heard before it went";
    EXPECT_EQ(heard.back(), 0);
}

} // namespace
