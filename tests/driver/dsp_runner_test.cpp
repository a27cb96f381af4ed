// The real-time thread: its clock arithmetic, that it never runs ahead of the
// clock, that every read of the chip falls between whole samples, that it
// stops executing when it goes, and that it outlives the device it plays to.
#include "dsp_runner.h"
#include "playback_device.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

TEST(DspPacing, SamplesFallDueAt48PerMillisecond) {
    DspPacing pacing;
    EXPECT_EQ(SamplesDue(1s, pacing), 48000);
    EXPECT_EQ(SamplesDue(1ms, pacing), 48);
    EXPECT_EQ(SamplesDue(999us, pacing), 47);
    EXPECT_EQ(SamplesDue(hours(24 * 365), pacing), int64_t(48000) * 3600 * 24 * 365);
    EXPECT_EQ(NextBlockDue(0, pacing), 1ms);
    // The wake-up time is the first moment the whole next block is due.
    for (int64_t done : {int64_t(0), int64_t(7), int64_t(48), int64_t(12345), int64_t(1) << 40}) {
        microseconds due = NextBlockDue(done, pacing);
        EXPECT_GE(SamplesDue(due, pacing), done + pacing.blockSamples) << done;
        EXPECT_LT(SamplesDue(due - 1us, pacing), done + pacing.blockSamples) << done;
    }
}

TEST(DspPacing, ABacklogBeyondTheLimitIsDropped) {
    DspPacing pacing;
    EXPECT_EQ(DropBacklog(1000, 900, pacing), 900);
    EXPECT_EQ(DropBacklog(4800 + 900, 900, pacing), 900);
    EXPECT_EQ(DropBacklog(100000, 900, pacing), 100000 - 4800);
}

class Running : public ::testing::Test {
  protected:
    Running() {
        ChipImage image;
        for (int i = 0; i < kMicrocodeSize; ++i)
            Instr(image, i, 6, 0x40, 0x40, 0x40, 0x40);
        Instr(image, 0, 6, 0x100, 0x100, 0x41, 0x40);   // counts samples
        Instr(image, 511, 6, 0x101, 0x100, 0x40, 0x40); // the count again, at the end
        chip.Load(image);
    }
    static void Instr(ChipImage& image, int i, uint32_t op, uint32_t r, uint32_t a, uint32_t x,
                      uint32_t y) {
        image.registers[kMicrocodeBase + 2 * i] = (x << 10) | y;
        image.registers[kMicrocodeBase + 2 * i + 1] = (op << 20) | (r << 10) | a;
    }
    uint32_t Count() { return chip.Snapshot().registers[0x100]; }

    SimulatedChip chip;
};

TEST_F(Running, TheChipRunsButNeverAheadOfTheClock) {
    auto start = steady_clock::now();
    {
        DspRunner runner(chip);
        auto deadline = start + 20s;
        while (Count() < 480 && steady_clock::now() < deadline)
            std::this_thread::sleep_for(5ms);
        uint32_t count = Count();
        auto elapsed = duration_cast<microseconds>(steady_clock::now() - start);
        EXPECT_GE(count, 480u);
        EXPECT_LE(count, uint32_t(SamplesDue(elapsed, DspPacing{})));
        EXPECT_EQ(count % 48, 0u) << "whole blocks";
    }
    uint32_t stopped = Count();
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(Count(), stopped) << "nothing runs once the runner is gone";
}

TEST_F(Running, EveryReadFallsBetweenWholeSamples) {
    DspRunner runner(chip);
    int moved = 0;
    uint32_t last = 0;
    for (int i = 0; i < 2000 && moved < 20; ++i) {
        ChipImage seen = chip.Snapshot();
        ASSERT_EQ(seen.registers[0x100], seen.registers[0x101]) << "a half-run sample";
        moved += seen.registers[0x100] != last;
        last = seen.registers[0x100];
        std::this_thread::sleep_for(200us);
    }
    EXPECT_GT(moved, 0);
}

// Takes three periods, then is gone, as a sound server that was stopped.
class VanishingDevice : public PlaybackDevice {
  public:
    int periodFrames() const override { return 240; }
    bool Play(const int32_t*, int, const std::atomic<bool>&) override { return ++plays <= 3; }
    std::atomic<int> plays = 0;
};

TEST_F(Running, AChipWhoseDeviceGoesAwayGoesOnByTheSystemClock) {
    VanishingDevice device;
    const auto start = steady_clock::now();
    DspRunner runner(chip, DspPacing{}, DspStreams{nullptr, {0x20}, nullptr, &device});
    const uint32_t played = 4 * 240; // the fourth ran before the device was found gone
    while (Count() < played + 480 && steady_clock::now() < start + 20s)
        std::this_thread::sleep_for(5ms);
    auto elapsed = duration_cast<microseconds>(steady_clock::now() - start);
    EXPECT_GE(Count(), played + 480);
    EXPECT_LE(Count(), played + uint32_t(SamplesDue(elapsed, DspPacing{})));
    EXPECT_EQ(device.plays, 4) << "nothing more is played to a device that went away";
}

// DBG bit 31 held while a delay line is read 50 samples behind its write
// tap: the counter stays at zero, so the tap never sees the write, and the
// registers do not depend on how the samples were run.
TEST_F(Running, Bit31HoldsTheCounterAtZeroHoweverTheSamplesAreRun) {
    ChipImage image = EmptyChipImage();
    Instr(image, 0, 6, 0x100, 0x100, 0x49, 0x40); // += 0x10000, a sample count TRAM keeps
    Instr(image, 1, 6, 0x200, 0x100, 0x40, 0x40); // into the write tap
    Instr(image, 2, 6, 0x101, 0x201, 0x40, 0x40); // the read tap, 50 behind
    Instr(image, 3, 6, 0x102, 0x5B, 0x40, 0x40);  // the counter as the DSP sees it
    image.registers[0x300] = TramEngine::kWrite | 1000;
    image.registers[0x301] = TramEngine::kRead | 1050;
    image.registers[fx8010dbg::kRegister] = fx8010dbg::kZeroCounter;
    const std::pair<const char*, void (*)(SimulatedChip&)> ways[] = {
        {"running by the runner",
         [](SimulatedChip& c) {
             DspRunner runner(c);
             while (c.position().samples < 2000)
                 std::this_thread::sleep_for(1ms);
             c.Stop();
         }},
        {"advance 2000", [](SimulatedChip& c) { c.Advance(2000); }},
        {"20 x advance 100",
         [](SimulatedChip& c) {
             for (int i = 0; i < 20; ++i)
                 c.Advance(100);
         }},
        {"a RunUntil", [](SimulatedChip& c) { c.RunUntil({}, 2000); }},
    };
    for (const auto& [what, run] : ways) {
        SCOPED_TRACE(what);
        SimulatedChip ran;
        ran.Load(image);
        run(ran);
        const uint64_t n = ran.position().samples;
        ChipImage offline = image, seen = ran.Snapshot();
        Fx8010Interpreter().Advance(offline, int(n));
        EXPECT_EQ(seen.registers[0x100], uint32_t(n) << 16);
        EXPECT_EQ(seen.registers[0x101], 0u) << "the tap saw the write";
        EXPECT_EQ(seen.registers[0x102], 0u);
        seen.registers[fx8010dbg::kRegister] = offline.registers[fx8010dbg::kRegister];
        EXPECT_EQ(seen, offline);
    }
}

} // namespace
