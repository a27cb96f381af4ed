// A reload swapped into the running chip between two samples, on the
// walk-through's echo assembled by as10k1.
#include "carry_plan.h"
#include "history_recorder.h"
#include "simulated_chip.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct Program {
    ChipImage image;
    LoadedProgram loaded;
};

// echo.asm with a sed edit made, assembled with its dump onto an empty chip.
Program Assemble(const TempDir& dir, const std::string& name, const std::string& edit = "") {
    const std::string b = dir.path() + "/" + name, echo = VELMORA_SOURCE_DIR "/driver/images/echo";
    EXPECT_EQ(
        std::system(("sed '" + edit + "' " + echo + ".asm > " + b + ".asm && as10k1 -d gti -o " +
                     b + ".emu10k1 " + b + ".asm > " + b + ".dbg")
                        .c_str()),
        0);
    Program p;
    p.image =
        LoadChipWithPatch("", b + ".emu10k1", b + ".dbg", &p.loaded).image.value_or(ChipImage{});
    return p;
}

// An impulse at sample 1000, where the delay counter has left the line's base.
struct Impulse : BusSource {
    int64_t n = 0;
    void Read(int32_t* bus, int frames) override {
        for (int f = 0; f < frames; ++f, ++n)
            std::fill_n(bus + f * kBusInputs, kBusInputs, n == 1000 ? 0x40000000 : 0);
    }
};

// Output 0x20 of each sample of `samples` run by run(samples, io), after out.
template <class Run> void Play(int samples, Run run, std::vector<int32_t>* out) {
    std::vector<int32_t> all(std::size_t(samples) * DspBlockIo::kOutputs);
    run(samples, DspBlockIo{all.data()});
    for (std::size_t i = 0; i < all.size(); i += DspBlockIo::kOutputs)
        out->push_back(all[i]);
}

// before for swapAt samples, then after (if any) swapped in, up to total.
std::vector<int32_t> Played(const Program& before, const Program* after, int swapAt, int total,
                            bool impulse, std::string* answer = nullptr) {
    SimulatedChip chip;
    Impulse source;
    chip.FeedBus(impulse ? &source : nullptr);
    chip.Load(before.image);
    auto run = [&](int n, const DspBlockIo& io) { chip.Run(n, io); };
    std::vector<int32_t> out;
    Play(swapAt, run, &out);
    if (after) {
        const CarryPlan plan = PlanCarry(before.image, before.loaded, after->image, after->loaded);
        EXPECT_TRUE(chip.Swap(after->image, plan.carry));
        *answer = CarryText("echo", before.loaded, after->loaded, plan);
    }
    Play(total - swapAt, run, &out);
    chip.FeedBus(nullptr);
    return out;
}

// The impulse's echoes come 250 and 500 ms after it, well after the swap, as
// without a reload; also when a new line before the echo's moves it in TRAM.
TEST(ReloadSwap, TheUnchangedProgramChangesNoSampleAcrossASwapInTheMiddleOfADelay) {
    TempDir dir;
    const Program echo = Assemble(dir, "echo"), again = Assemble(dir, "again");
    const Program moved =
        Assemble(dir, "moved", "s/^dl\\t/pre\\tdelay\\t\\&0.2\\npw\\ttwrite\\tpre,0\\ndl\\t/");
    ASSERT_NE(moved.loaded.lines.at(1).span, echo.loaded.lines.at(0).span) << "dl moved";
    const std::vector<int32_t> plain = Played(echo, nullptr, 4800, 30000, true);
    ASSERT_TRUE(std::any_of(plain.begin() + 4800, plain.end(), [](int32_t v) { return v; }));
    std::string answer;
    EXPECT_EQ(Played(echo, &again, 4800, 30000, true, &answer), plain);
    EXPECT_EQ(answer, "reloaded echo: 6 -> 6 instructions; kept left left.o right right.o fb wet "
                      "dry mono echo wl rl, dl (300 ms); new —; gone —");
    EXPECT_EQ(Played(echo, &moved, 4800, 30000, true, &answer), plain);
    EXPECT_TRUE(answer.ends_with("dl (300 ms); changed wl.a rl.a; new pw, pre (200 ms); gone —"));
}

// dry edited from 0.7 to 0.3 under the test signal: from the swap on, not a
// sample before, the chip plays what the interpreter plays offline from the
// state at that sample with the new program's words.
TEST(ReloadSwap, AnEditedCoefficientIsHeardFromTheSwapSampleExactly) {
    TempDir dir;
    const Program echo = Assemble(dir, "echo"),
                  edited = Assemble(dir, "edited", "s/^dry\\tcontrol\\t0.7/dry\\tcontrol\\t0.3/");
    std::string answer;
    const std::vector<int32_t> swapped = Played(echo, &edited, 13000, 16000, false, &answer);
    EXPECT_NE(answer.find("; changed dry;"), std::string::npos) << answer;
    Fx8010Interpreter offline;
    ChipImage chip = echo.image;
    auto run = [&](int n, const DspBlockIo& io) { offline.Run(chip, n, io); };
    std::vector<int32_t> expected;
    Play(13000, run, &expected);
    for (std::size_t r = 0; r < kChipRegisterCount; ++r)
        if (edited.image.registers[r] != echo.image.registers[r])
            chip.registers[r] = edited.image.registers[r];
    Play(3000, run, &expected);
    EXPECT_EQ(swapped, expected);
    const std::vector<int32_t> plain = Played(echo, nullptr, 13000, 16000, false);
    EXPECT_EQ(std::mismatch(plain.begin(), plain.end(), swapped.begin()).first - plain.begin(),
              13000);
}

// A new register declared first moves mono and echo: across the swap the
// history of each kept register reads the values the chip played, at its old
// address before and its new one after; lp, new, is held from the swap on.
TEST(ReloadSwap, TheHistoryOfAKeptRegisterFollowsItAcrossTheSwap) {
    TempDir dir;
    const Program echo = Assemble(dir, "echo"),
                  lp = Assemble(dir, "lp",
                                "s/^mono\\t/lp\\tdyn\\nmono\\t/;s/^\\tend/\\tmacs\\tlp,"
                                "C_0,mono,C_2^30\\n\\tend/");
    struct Ramp : BusSource {
        uint32_t n = 0;
        void Read(int32_t* bus, int frames) override {
            for (int f = 0; f < frames * kBusInputs; ++f)
                bus[f] = int32_t((n += 0x12345) << 8);
        }
    } ramp;
    const auto at = [](const Program& p, const std::string& name) -> int64_t {
        for (const PlacedName& n : p.loaded.names)
            if (n.name == name)
                return n.address;
        return -1;
    };
    const int swapAt = 7200, total = 14400;
    const struct {
        const char* name;
        bool moves;
        int first; // the first sample held
    } rows[] = {{"mono", true, 0}, {"echo", true, 0}, {"rl", false, 0}, {"lp", false, swapAt}};
    SimulatedChip chip;
    HistoryRecorder history(total);
    chip.Observe(&history);
    chip.FeedBus(&ramp);
    chip.Load(echo.image);
    std::vector<std::vector<int32_t>> played(std::size(rows)); // as each sample ended
    for (int s = 0; s < total; ++s) {
        if (s == swapAt) {
            ASSERT_TRUE(
                chip.Swap(lp.image, PlanCarry(echo.image, echo.loaded, lp.image, lp.loaded).carry));
        }
        ASSERT_EQ(chip.Run(1), 1);
        const ChipImage now = chip.Snapshot();
        for (std::size_t r = 0; r < std::size(rows); ++r) {
            const int64_t reg = at(s < swapAt ? echo : lp, rows[r].name);
            const uint32_t word = reg < 0 ? 0 : now.registers[std::size_t(reg)];
            played[r].push_back(reg >= 0x200 ? int32_t(word << 12) : int32_t(word));
        }
    }
    chip.FeedBus(nullptr);
    for (std::size_t r = 0; r < std::size(rows); ++r) {
        const auto& row = rows[r];
        const int64_t before = at(echo, row.name), after = at(lp, row.name);
        ASSERT_GE(after, 0) << row.name;
        EXPECT_EQ(before != after && before >= 0, row.moves) << row.name;
        const auto span = history.TakeFrom({uint32_t(after)}, 0, total);
        ASSERT_TRUE(span) << row.name;
        EXPECT_EQ(span->first, uint64_t(row.first)) << row.name;
        const std::vector<int32_t> expected(played[r].begin() + row.first, played[r].end());
        EXPECT_EQ(span->columns.at(0), expected) << row.name;
        EXPECT_TRUE(std::any_of(expected.begin(), expected.end(), [](int32_t v) { return v; }))
            << row.name;
    }
    chip.Unobserve(&history);
}

} // namespace
