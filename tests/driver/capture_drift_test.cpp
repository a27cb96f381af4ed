// The chip fed by a capture device on a test clock that moves only as the
// devices wait, so a minute of sound runs in seconds: between a capture and
// a playback on two clocks, every frame is heard in order but for the
// counted corrections, within the distance's bound, and the recording is
// what was played; on one clock, every frame whatever the start; a verb's samples hear the frames
// captured for them after a stand dropped the past; a device that goes away leaves the bus silent.
#include "capture_input.h"
#include "dsp_runner.h"
#include "playback_device.h"
#include "support/eventually.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <mutex>

namespace {

constexpr int kRate = 48000, kPeriod = 240, kBuffer = 4 * kPeriod; // --latency 20

// Both devices on one clock (seconds). The playback plays at 48 kHz from its
// first period, holding a buffer, and notes when each frame is heard; past
// `end` it holds the chip until stopped. The capture delivers a period at a
// time at `rate` from the chip's first look, frame k holding (k + 1) << 8,
// and `burst` frames more at once `burstAt` seconds after it.
struct TestDevices : PlaybackDevice, CaptureDevice {
    TestDevices(double rate, double end, double goneAt = 1e9, int64_t burst = 0, double burstAt = 0)
        : rate(rate), end(end), goneAt(goneAt), burst(burst), burstAt(burstAt) {}
    int periodFrames() const override { return kPeriod; }
    int channels() const override { return 2; }
    bool Play(const int32_t* frames, int count, const std::atomic<bool>& stopping) override {
        std::unique_lock lock(mutex);
        playStart = written ? playStart : now;
        now = std::max(now, playStart + double(written + count - kBuffer) / kRate);
        for (int i = 0; i < count; ++i)
            heard.push_back({frames[i], playStart + double(written + i) / kRate});
        written += count;
        for (; now >= end && !stopping; lock.lock()) {
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    int64_t Wait(int64_t frames, std::chrono::microseconds most) override {
        std::lock_guard lock(mutex);
        captureStart = started ? captureStart : now;
        started = true;
        const int64_t periodic = std::max<int64_t>(gone + frames - Burst(), 0);
        const double arrives =
            captureStart + double((periodic + kPeriod - 1) / kPeriod * kPeriod) / rate;
        if (Held() < frames)
            now = std::max(now, std::min(arrives, now + 1e-6 * double(most.count())));
        return now >= goneAt ? -1 : Held();
    }
    int Take(int32_t* frames, int count) override {
        std::lock_guard lock(mutex);
        const int n = int(std::min<int64_t>(count, Held()));
        for (int i = 0; i < n; ++i)
            frames[2 * i] = int32_t((++gone) << 8), frames[2 * i + 1] = 0;
        return n;
    }
    int64_t Drop(int64_t count) override {
        std::lock_guard lock(mutex);
        const int64_t n = std::min(count, Held());
        gone += n;
        return n;
    }
    int64_t Burst() const { return now - captureStart >= burstAt ? burst : 0; }
    int64_t Held() const {
        return started
                   ? int64_t(std::floor((now - captureStart) * rate / kPeriod + 1e-6)) * kPeriod +
                         Burst() - gone
                   : 0;
    }
    double Now() {
        std::lock_guard lock(mutex);
        return now;
    }
    void Pass(double seconds) {
        std::lock_guard lock(mutex);
        now += seconds;
    }
    double CapturedAt(int64_t k) const { return captureStart + double(k - 1) / rate; } // k from 1

    const double rate, end, goneAt;
    const int64_t burst;
    const double burstAt;
    std::mutex mutex;
    double now = 0, playStart = 0, captureStart = 0;
    bool started = false;
    int64_t written = 0, gone = 0;                 // played; taken or dropped
    std::vector<std::pair<int32_t, double>> heard; // read once the runner is gone
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

// From the first frame heard on, each is the next captured, again, or after
// dropped ones; and how long after its capture each was heard.
struct Heard {
    int64_t dropped = 0, repeated = 0, backwards = 0;
    double longest = 0, shortest = 1e9;
    std::vector<int32_t> played;
};
Heard Follow(const TestDevices& devices) {
    Heard h;
    auto heard =
        std::find_if(devices.heard.begin(), devices.heard.end(), [](auto& f) { return f.first; });
    const int64_t first = heard == devices.heard.end() ? 0 : heard->first >> 8;
    for (int64_t last = first - 1; heard != devices.heard.end(); ++heard) {
        const int64_t k = heard->first >> 8;
        h.backwards += k < last;
        h.repeated += k == last;
        h.dropped += std::max<int64_t>(k - last - 1, 0);
        last = k;
        h.longest = std::max(h.longest, heard->second - devices.CapturedAt(k));
        h.shortest = std::min(h.shortest, heard->second - devices.CapturedAt(k));
        h.played.push_back(heard->first);
    }
    return h;
}

// A chip whose 0x20 is effects bus 0; the rest does nothing.
struct CaptureDrift : ::testing::Test {
    CaptureDrift() {
        ChipImage image;
        for (int i = 0; i < kMicrocodeSize; ++i) {
            image.registers[kMicrocodeBase + 2 * i] = (0x40u << 10) | 0x40u;
            image.registers[kMicrocodeBase + 2 * i + 1] =
                (6u << 20) | (i ? 0x40u << 10 | 0x40u : 0x20u << 10);
        }
        chip.Load(image);
    }
    SimulatedChip chip;
    Recorder recorder;
};

TEST_F(CaptureDrift, AMinuteOfDriftIsHeardInOrderButForTheCountedCorrections) {
    for (double drift : {+0.001, -0.001}) {
        SCOPED_TRACE(drift);
        TestDevices devices(kRate * (1 + drift), 60);
        CaptureInput input(devices);
        recorder.values.clear();
        {
            DspRunner runner(chip, DspPacing{}, {&input, {0x20}, &recorder, &devices, &input});
            ASSERT_TRUE(Eventually([&] { return devices.Now() >= 60; }, std::chrono::minutes(5)));
        }
        // Silence before the chip's first period.
        auto [dropped, repeated, backwards, longest, shortest, played] = Follow(devices);
        EXPECT_EQ(backwards, 0);
        EXPECT_EQ(dropped, input.dropped());
        EXPECT_EQ(repeated, input.repeated());
        // The capture's frames beyond the playback's are what was corrected.
        EXPECT_NEAR(double(dropped - repeated), drift * double(played.size()), 3 * kPeriod);
        // The distance within its bound; the README's round trip below twice
        // --latency and a period.
        EXPECT_LE(input.mostWaiting(), 9 * kPeriod / 2);
        EXPECT_LE(longest, (2.0 * kBuffer + kPeriod) / kRate);
        EXPECT_LE(longest - shortest, 3.0 * kPeriod / kRate);
        // What was played is every sample the chip computed.
        EXPECT_GE(recorder.values.size() + 2 * kPeriod, played.size());
        played.resize(std::min(played.size(), recorder.values.size()));
        recorder.values.resize(played.size());
        EXPECT_EQ(recorder.values, played);
    }
}

// Devices on one clock need no correction however their deliveries fall: a
// start's burst goes before the chip hears any of it, and a device that
// settles a period and a few frames further on, as a sound server's may, is
// no drift.
TEST_F(CaptureDrift, OnOneClockEveryFrameIsHeardInOrderWhereverTheDistanceSettles) {
    const struct {
        const char* what;
        int64_t burst;
        double at;
    } rows[] = {
        {"three periods at once before the chip first runs", 3 * kPeriod, 0.002},
        {"a period and three frames at once a second on", kPeriod + 3, 1},
    };
    for (const auto& row : rows) {
        TestDevices devices(kRate, 20, 1e9, row.burst, row.at);
        CaptureInput input(devices);
        {
            DspRunner runner(chip, DspPacing{}, {&input, {0x20}, &recorder, &devices, &input});
            ASSERT_TRUE(Eventually([&] { return devices.Now() >= 20; }, std::chrono::minutes(2)));
        }
        const Heard heard = Follow(devices);
        EXPECT_GT(heard.played.size(), std::size_t(19 * kRate)) << row.what;
        EXPECT_EQ(heard.dropped + heard.repeated + heard.backwards, 0) << row.what;
        EXPECT_EQ(input.dropped() + input.repeated(), 0) << row.what;
    }
}

// Paced by the capture alone, the chip stops and stands a second; then each
// verb's samples hear consecutive frames from the present on.
TEST_F(CaptureDrift, AVerbsSamplesHearTheFramesCapturedForThemAndAStandDropsThePast) {
    TestDevices device(kRate, 1e9);
    CaptureInput input(device);
    DspRunner runner(chip, DspPacing{}, {&input, {}, &recorder, nullptr, &input});
    ASSERT_TRUE(Eventually([&] { return device.Now() >= 1; }));
    chip.Stop();
    const std::pair<const char*, std::function<void()>> verbs[] = {
        {"advance 4800", [&] { chip.Advance(4800); }},
        {"a break after 4800", [&] { chip.RunUntil({}, 4800); }},
    };
    std::vector<std::string> wrong;
    for (const auto& [what, verb] : verbs) {
        device.Pass(1);
        ASSERT_TRUE(Eventually([&] { return device.Wait(0, {}) == 0; })) << "the stand dropped";
        const std::size_t before = recorder.Values().size();
        const double from = device.Now();
        verb();
        const std::vector<int32_t> heard = recorder.Values();
        if (heard.size() != before + 4800 || device.CapturedAt(heard[before] >> 8) < from - 0.01 ||
            heard.back() - heard[before] != 4799 << 8)
            wrong.push_back(what);
    }
    EXPECT_TRUE(wrong.empty()) << ::testing::PrintToString(wrong);
}

TEST_F(CaptureDrift, ADeviceThatGoesAwayLeavesTheBusSilentAndTheChipRunning) {
    TestDevices device(kRate, 1e9, 0.5); // gone after half a second of its clock
    CaptureInput input(device);
    DspRunner runner(chip, DspPacing{}, {&input, {}, &recorder, nullptr, &input});
    ASSERT_TRUE(Eventually([&] { return recorder.Values().size() > kRate / 2 + 4800; }));
    const std::vector<int32_t> heard = recorder.Values();
    EXPECT_NE(heard[kRate / 4], 0) << "heard before it went";
    EXPECT_EQ(heard.back(), 0);
}

} // namespace
