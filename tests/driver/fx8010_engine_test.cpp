// The fast engine against the reference engine, which is the oracle: the same
// chip and input in, the same samples, registers, delay lines, codes and
// stops out.
#include "fx8010_engines_check.h"
#include "loaded_program.h"
#include "mixer_program.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using namespace fx8010;

constexpr uint32_t kSink = 0x40, kAcc = 0x56, kCcr = 0x57;

// Both engines through the same blocks; every register, operand, delay
// line and report compared.
struct Twins : EngineTwins {
    using EngineTwins::EngineTwins;
    void Run(int samples, int block = 48) { EXPECT_EQ(EngineTwins::Run(samples, block), ""); }
    void ExpectSame(bool tram = true) const { EXPECT_EQ(Difference(tram), ""); }
};

// Any microcode over the whole operand space, with runs of constant no-ops
// (some saturating) for SKIPs to land in.
ChipImage RandomProgram(unsigned seed) {
    std::mt19937 random(seed);
    auto pick = [&](std::initializer_list<uint32_t> from) {
        return from.begin()[random() % from.size()];
    };
    auto operand = [&] {
        switch (random() % 6) {
        case 0:
            return 0x40 + uint32_t(random() % 22);
        case 1:
            return pick({kAcc, kCcr, 0x58, 0x5B, 0x5A, 0x00, 0x20});
        case 2:
            return 0x200 + uint32_t(random() % 8);
        default:
            return 0x100 + uint32_t(random() % 16);
        }
    };
    Twins twins{ChipImage{}};
    for (int i = 0; i < kMicrocodeSize; ++i) {
        if (random() % 3 == 0)
            twins.Instr(i, pick({kAcc3, kMacints, kMacs}), kSink, pick({0x40, 0x4F, 0x4E}),
                        pick({0x40, 0x4F}), pick({0x41, 0x4F, 0x4E}));
        else
            twins.Instr(i, random() % 16,
                        pick({kSink, 0x20, 0x100 + uint32_t(random() % 16),
                              0x200 + uint32_t(random() % 8), 0x300}),
                        operand(), operand(), operand());
    }
    ChipImage chip = twins.chip[0];
    for (int i = 0; i < 16; ++i)
        chip.registers[0x100 + i] = random();
    for (int i = 0; i < 8; ++i)
        chip.registers[0x300 + i] = (i % 2 ? TramEngine::kRead : TramEngine::kWrite) | 40 * i;
    return chip;
}

ChipImage Loaded(const std::string& image, const std::string& patch) {
    const std::string source = VELMORA_SOURCE_DIR;
    return LoadChipWithPatch(source + image, patch.empty() ? "" : source + patch, nullptr)
        .image.value();
}

// Each opcode over 0, 1, -1 and the extremes, as registers and as constants
// (a folded run), the accumulator left at its limits by the one before, then
// the codes and the accumulator read back.
TEST(FastEngine, EachOpcodeOverEdgeOperandsAsTheReference) {
    const uint32_t edges[] = {0x40, 0x41, 0x50, 0x4F, 0x4E}; // 0, 1, -1, max, 0x80000000
    for (uint32_t op = 0; op < 16; ++op)
        for (uint32_t a : edges)
            for (uint32_t x : edges)
                for (uint32_t y : edges) {
                    SCOPED_TRACE(testing::Message() << op << " " << a << " " << x << " " << y);
                    Twins twins{ChipImage{}};
                    for (int i = 0; i < kMicrocodeSize; ++i)
                        twins.Instr(i, kAcc3, kSink, 0x40, 0x40, 0x40);
                    twins.Instr(0, kMacints, kSink, x, y, a); // the accumulator at an extreme
                    twins.Instr(1, op, 0x100, 0x110, 0x111, 0x112);
                    twins.Instr(2, kAcc3, 0x101, kCcr, 0x40, 0x40);
                    twins.Instr(3, kMacints, kSink, y, a, x);
                    twins.Instr(4, op, kSink, a, x, y);
                    twins.Instr(5, kAcc3, 0x102, kCcr, kAcc, 0x40);
                    twins.Instr(6, op, 0x103, kAcc, 0x111, 0x112);
                    const uint32_t values[] = {a, x, y};
                    for (ChipImage& chip : twins.chip)
                        for (uint32_t i = 0; i < 3; ++i)
                            chip.registers[0x110 + i] = uint32_t(twins.dsp[0].Operand(values[i]));
                    twins.Run(2, 1);
                    twins.ExpectSame(false);
                }
}

// One second with an input through every program the tests load, the
// benchmarks' mixer and random microcode, in the real-time blocks and in odd
// ones.
TEST(FastEngine, ProgramsRenderAsTheReference) {
    std::vector<ChipImage> programs = {
        Loaded("/driver/images/demo.chip", ""),
        Loaded("/driver/images/demo.chip", "/driver/images/demo-chorus-echo.emu10k1"),
        Loaded("/driver/images/demo.chip", "/tests/driver/data/probe.emu10k1"), MixerProgram()};
    for (unsigned seed = 1; seed <= 6; ++seed)
        programs.push_back(RandomProgram(seed));
    for (size_t p = 0; p < programs.size(); ++p) {
        SCOPED_TRACE(p);
        Twins twins(programs[p]);
        twins.Run(48000, p % 2 ? 48 : 37);
        twins.ExpectSame();
    }
}

// Breaks and watches inside and at the ends of folded runs, and steps there:
// each stop where the reference stops, the state as the reference leaves it.
TEST(FastEngine, StopsInsideFoldedRunsAsTheReference) {
    const ChipImage demo =
        Loaded("/driver/images/demo.chip", "/driver/images/demo-chorus-echo.emu10k1");
    const DebugTargets table[] = {{{300}, {}},
                                  {{52, 511}, {}},
                                  {{100, 200, 0}, {0x21}},
                                  {{}, {0x20}, {DebugCondition::Kind::Above, 0}},
                                  {{}, {}, {}, true}};
    for (const ChipImage& image : {demo, RandomProgram(7)})
        for (const DebugTargets& targets : table) {
            Twins twins(image);
            for (int stop = 0; stop < 6; ++stop) {
                const DebugStop got = twins.dsp[0].RunUntil(twins.chip[0], targets, 3, stop > 0);
                const DebugStop want = twins.dsp[1].RunUntil(twins.chip[1], targets, 3, stop > 0);
                EXPECT_EQ(int(got.why), int(want.why));
                EXPECT_EQ(got.address, want.address);
                EXPECT_EQ(got.sample, want.sample);
                twins.ExpectSame();
            }
            for (uint32_t at : {0u, 300u, 301u, 511u}) {
                for (ChipImage& chip : twins.chip)
                    chip.registers[fx8010dbg::kRegister] =
                        fx8010dbg::kSingleStep | fx8010dbg::kStep | at;
                twins.Run(1);
                twins.ExpectSame();
            }
        }
}

// Random programs with operands that alias, SKIPs on the codes into folded
// runs and past the end, reads of the accumulator and the codes, delay lines
// of both pools, each with a script of runs, host writes, steps and stops,
// compared whole after every step of it.
TEST(FastEngine, RandomProgramsAndScriptsAsTheReference) {
    std::mt19937 random(8010);
    EngineTwins twins{ChipImage{}};
    for (int program = 0; program < 2000; ++program) {
        std::string bytes(200 + random() % 800, '\0');
        for (char& byte : bytes)
            byte = char(random());
        ASSERT_EQ(CheckEnginesAgree(bytes, twins), "") << "program " << program;
    }
}

} // namespace
