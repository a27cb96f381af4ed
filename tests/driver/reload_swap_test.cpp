// A reload swapped into the running chip between two samples, on the echo
// of the walk-through assembled by as10k1: the unchanged program changes no
// sample, an edit is heard from the swap on, as the new program plays it
// offline from the state at that sample.
#include "carry_plan.h"
#include "loaded_program.h"
#include "simulated_chip.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

struct Program {
    ChipImage image;
    LoadedProgram loaded;
};

// echo.asm with a sed edit made, assembled with its dump onto an empty chip.
Program Assemble(const TempDir& dir, const std::string& name, const std::string& edit = "") {
    const std::string base = dir.path() + "/" + name;
    const std::string line = "sed '" + edit + "' " + VELMORA_SOURCE_DIR +
                             "/driver/images/echo.asm > " + base + ".asm && as10k1 -d gti -o " +
                             base + ".emu10k1 " + base + ".asm > " + base + ".dbg";
    EXPECT_EQ(std::system(line.c_str()), 0) << "as10k1 (alsa-tools) is needed";
    Program p;
    const ChipImageResult r = LoadChipWithPatch("", base + ".emu10k1", base + ".dbg", &p.loaded);
    EXPECT_TRUE(r.image) << r.describe();
    p.image = r.image.value_or(ChipImage{});
    return p;
}

// One impulse at sample 1000, where the delay counter has moved on from the
// line's base, then silence.
struct Impulse : BusSource {
    int64_t n = 0;
    void Read(int32_t* bus, int frames) override {
        for (int f = 0; f < frames; ++f, ++n)
            std::fill_n(bus + f * kBusInputs, kBusInputs, n == 1000 ? 0x40000000 : 0);
    }
};

// Outputs 0x20 and 0x21 of `samples` samples, run by run(samples, io).
template <class Run> std::vector<int32_t> Outputs(int samples, Run run) {
    std::vector<int32_t> out(std::size_t(samples) * DspBlockIo::kOutputs), lr;
    run(samples, DspBlockIo{out.data()});
    for (int i = 0; i < samples; ++i)
        lr.insert(lr.end(), &out[i * DspBlockIo::kOutputs], &out[i * DspBlockIo::kOutputs + 2]);
    return lr;
}

// From before for swapAt samples, then after (when given) swapped in, to total.
std::vector<int32_t> Played(const Program& before, const Program* after, int swapAt, int total,
                            BusSource* source, std::string* answer = nullptr) {
    SimulatedChip chip;
    chip.FeedBus(source);
    chip.Load(before.image);
    auto run = [&](int n, const DspBlockIo& io) { chip.Run(n, io); };
    std::vector<int32_t> out = Outputs(swapAt, run);
    if (after) {
        const CarryPlan plan = PlanCarry(before.image, before.loaded, after->image, after->loaded);
        EXPECT_TRUE(chip.Swap(after->image, plan.carry));
        if (answer)
            *answer = CarryText("echo", before.loaded, after->loaded, plan);
    }
    const std::vector<int32_t> rest = Outputs(total - swapAt, run);
    out.insert(out.end(), rest.begin(), rest.end());
    chip.FeedBus(nullptr);
    return out;
}

// The impulse's echoes come 250 and 500 ms after it, well after the swap:
// as if there had been no reload, also when a new line before the echo's
// moves it in TRAM.
TEST(ReloadSwap, TheUnchangedProgramChangesNoSampleAcrossASwapInTheMiddleOfADelay) {
    TempDir dir;
    const Program echo = Assemble(dir, "echo"), again = Assemble(dir, "again");
    const Program moved =
        Assemble(dir, "moved", "s/^dl\\t/pre\\tdelay\\t\\&0.2\\npw\\ttwrite\\tpre,0\\ndl\\t/");
    ASSERT_NE(moved.loaded.lines.at(1).span, echo.loaded.lines.at(0).span) << "dl moved";
    constexpr int kSwap = 4800, kTotal = 30000;
    Impulse plainSource, sameSource, movedSource;
    const std::vector<int32_t> plain = Played(echo, nullptr, kSwap, kTotal, &plainSource);
    ASSERT_TRUE(std::any_of(plain.begin() + 2 * kSwap, plain.end(), [](int32_t v) { return v; }));
    std::string answer;
    EXPECT_EQ(Played(echo, &again, kSwap, kTotal, &sameSource, &answer), plain);
    EXPECT_EQ(answer, "reloaded echo: 6 -> 6 instructions; kept left left.o right right.o fb wet "
                      "dry mono echo wl rl, dl (300 ms); new —; gone —");
    EXPECT_EQ(Played(echo, &moved, kSwap, kTotal, &movedSource, &answer), plain);
    EXPECT_TRUE(answer.ends_with("dl (300 ms); changed wl.a rl.a; new pw, pre (200 ms); gone —"))
        << answer;
}

// dry edited from 0.7 to 0.3 under the test signal: not a sample before the
// swap changes, and from it on the chip plays what the offline interpreter
// plays from the state at that sample with the new program's words.
TEST(ReloadSwap, AnEditedCoefficientIsHeardFromTheSwapSampleExactly) {
    TempDir dir;
    const Program echo = Assemble(dir, "echo");
    const Program edited = Assemble(dir, "edited", "s/^dry\\tcontrol\\t0.7/dry\\tcontrol\\t0.3/");
    constexpr int kSwap = 13000, kTotal = 16000;
    const std::vector<int32_t> plain = Played(echo, nullptr, kSwap, kTotal, nullptr);
    std::string answer;
    const std::vector<int32_t> swapped = Played(echo, &edited, kSwap, kTotal, nullptr, &answer);
    EXPECT_NE(answer.find("; changed dry;"), std::string::npos) << answer;

    Fx8010Interpreter offline;
    ChipImage chip = echo.image;
    auto run = [&](int n, const DspBlockIo& io) { offline.Run(chip, n, io); };
    std::vector<int32_t> expected = Outputs(kSwap, run);
    for (std::size_t r = 0; r < kChipRegisterCount; ++r)
        if (edited.image.registers[r] != echo.image.registers[r])
            chip.registers[r] = edited.image.registers[r];
    const std::vector<int32_t> rest = Outputs(kTotal - kSwap, run);
    expected.insert(expected.end(), rest.begin(), rest.end());
    EXPECT_EQ(swapped, expected);
    const auto first = std::mismatch(plain.begin(), plain.end(), swapped.begin()).first;
    EXPECT_EQ((first - plain.begin()) / 2, kSwap) << "heard from the swap, not before";
}

} // namespace
