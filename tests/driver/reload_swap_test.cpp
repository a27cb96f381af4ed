// A reload swapped into the running chip between two samples, on the demo's
// echo assembled by as10k1: the unchanged program changes no sample, an
// edit is heard from the swap on, as the new program run from the state at
// that sample plays it.
#include "carry_plan.h"
#include "fx8010_interpreter.h"
#include "loaded_program.h"
#include "simulated_chip.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

const std::string kEcho = std::string(VELMORA_SOURCE_DIR) + "/driver/images/echo.asm";

struct Program {
    ChipImage image;
    LoadedProgram loaded;
};

// source with each edit (a sed expression) made, assembled with its dump,
// and loaded on an empty chip.
Program Assemble(const TempDir& dir, const std::string& name, const std::string& edit = "") {
    const std::string base = dir.path() + "/" + name;
    const std::string sed = edit.empty() ? "cat " + kEcho : "sed '" + edit + "' " + kEcho;
    const std::string line = sed + " > " + base + ".asm && as10k1 -d gti -o " + base + ".emu10k1 " +
                             base + ".asm > " + base + ".dbg";
    Program p;
    EXPECT_EQ(std::system(line.c_str()), 0) << "as10k1 (alsa-tools) is needed";
    const ChipImageResult r = LoadChipWithPatch("", base + ".emu10k1", base + ".dbg", &p.loaded);
    EXPECT_TRUE(r.image) << r.describe();
    if (r.image)
        p.image = *r.image;
    return p;
}

// One impulse on both sides at sample 1000, then silence: written where the
// delay counter had moved on to, not at the line's base.
class Impulse : public BusSource {
  public:
    void Read(int32_t* bus, int frames) override {
        for (int f = 0; f < frames; ++f, ++n_)
            for (int i = 0; i < kBusInputs; ++i)
                bus[f * kBusInputs + i] = n_ == 1000 && i < 2 ? 0x40000000 : 0;
    }

  private:
    int64_t n_ = 0;
};

// The left and right outputs, sample by sample.
using Frames = std::vector<int32_t>;

void RunInto(SimulatedChip& chip, int samples, Frames* frames) {
    std::vector<int32_t> out(std::size_t(samples) * DspBlockIo::kOutputs);
    ASSERT_EQ(chip.Run(samples, {out.data()}), samples);
    for (int i = 0; i < samples; ++i)
        for (int side : {0, 1})
            frames->push_back(out[std::size_t(i) * DspBlockIo::kOutputs + side]);
}

// Runs from before.image for swapAt samples, swaps in after (when given), and
// runs on to total samples.
Frames Played(const Program& before, const Program* after, int swapAt, int total, bool impulse,
              std::string* answer = nullptr) {
    SimulatedChip chip;
    Impulse source;
    if (impulse)
        chip.FeedBus(&source);
    chip.Load(before.image);
    Frames frames;
    RunInto(chip, swapAt, &frames);
    if (after) {
        const CarryPlan plan = PlanCarry(before.image, before.loaded, after->image, after->loaded);
        EXPECT_TRUE(chip.Swap(after->image, plan.carry));
        if (answer)
            *answer = CarryText("echo", before.loaded, after->loaded, plan);
    }
    RunInto(chip, total - swapAt, &frames);
    chip.FeedBus(nullptr);
    return frames;
}

// The impulse's echo comes 250 ms (12,000 samples) after it, long after the
// swap at 100 ms, and again 250 ms later: each arrives as if there had been
// no reload. So it does when a new line before the echo's moves it in TRAM.
TEST(ReloadSwap, TheUnchangedProgramChangesNoSampleAcrossASwapInTheMiddleOfADelay) {
    TempDir dir;
    const Program echo = Assemble(dir, "echo"), again = Assemble(dir, "again");
    const Program moved =
        Assemble(dir, "moved", "s/^dl\\t/pre\\tdelay\\t\\&0.2\\npw\\ttwrite\\tpre,0\\ndl\\t/");
    ASSERT_NE(moved.loaded.lines.at(1).span, echo.loaded.lines.at(0).span) << "dl moved";
    constexpr int kSwap = 4800, kTotal = 30000;
    const Frames plain = Played(echo, nullptr, kSwap, kTotal, true);
    ASSERT_TRUE(std::any_of(plain.begin() + 2 * kSwap, plain.end(), [](int32_t v) { return v; }))
        << "the echo comes after the swap";
    std::string answer;
    EXPECT_EQ(Played(echo, &again, kSwap, kTotal, true, &answer), plain);
    EXPECT_EQ(answer, "reloaded echo: 6 -> 6 instructions; kept left left.o right right.o fb wet "
                      "dry mono echo wl rl, dl (300 ms); new —; gone —");
    EXPECT_EQ(Played(echo, &moved, kSwap, kTotal, true, &answer), plain);
    EXPECT_TRUE(answer.ends_with("dl (300 ms); changed wl.a rl.a; new pw, pre (200 ms); gone —"))
        << answer;
}

// dry, the direct level, edited from 0.7 to 0.3 with the test signal
// playing: not a sample before the swap changes, and from it on the chip
// plays what the new program plays offline from the registers and delay
// lines as they were at that sample.
TEST(ReloadSwap, AnEditedCoefficientIsHeardFromTheSwapSampleExactly) {
    TempDir dir;
    const Program echo = Assemble(dir, "echo");
    const Program edited = Assemble(dir, "edited", "s/^dry\\tcontrol\\t0.7/dry\\tcontrol\\t0.3/");
    constexpr int kSwap = 13000, kTotal = 16000;
    const Frames plain = Played(echo, nullptr, kSwap, kTotal, false);
    std::string answer;
    const Frames swapped = Played(echo, &edited, kSwap, kTotal, false, &answer);
    EXPECT_TRUE(answer.find("; changed dry;") != std::string::npos) << answer;

    Fx8010Interpreter offline;
    ChipImage chip = echo.image;
    std::vector<int32_t> out(std::size_t(kTotal) * DspBlockIo::kOutputs);
    offline.Run(chip, kSwap, {out.data()});
    for (std::size_t r = 0; r < kChipRegisterCount; ++r)
        if (edited.image.registers[r] != echo.image.registers[r])
            chip.registers[r] = edited.image.registers[r]; // the new program's words
    offline.Run(chip, kTotal - kSwap, {out.data() + std::size_t(kSwap) * DspBlockIo::kOutputs});
    Frames expected;
    for (int i = 0; i < kTotal; ++i)
        for (int side : {0, 1})
            expected.push_back(out[std::size_t(i) * DspBlockIo::kOutputs + side]);
    ASSERT_EQ(swapped.size(), expected.size());
    EXPECT_EQ(swapped, expected);
    const auto first = std::mismatch(plain.begin(), plain.end(), swapped.begin()).first;
    EXPECT_EQ((first - plain.begin()) / 2, kSwap) << "heard from the swap, not before";
}

} // namespace
