// Placing as10k1 patches on chip images: where the demo patch lands beside
// the demo chip, the choice of TRAM pool, the routing to the effects bus and
// the outputs, running the result, and the reasons when a patch does not fit.
#include "as10k1_writer.h"
#include "fx8010_interpreter.h"
#include "loaded_program.h"
#include "patch_placement.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

using namespace fx8010;

const std::string kImages = std::string(VELMORA_SOURCE_DIR) + "/driver/images/";
const std::string kDemoChip = kImages + "demo.chip";
const std::string kDemoPatch = kImages + "demo-chorus-echo.emu10k1";

constexpr uint32_t C0 = 0x40;
constexpr uint32_t kRead = TramEngine::kRead, kWrite = TramEngine::kWrite;

struct Fields {
    uint32_t op, r, a, x, y;
    bool operator==(const Fields&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Fields& f) {
    return out << std::hex << f.op << " " << f.r << " " << f.a << " " << f.x << " " << f.y;
}

Fields At(const ChipImage& chip, int i) {
    uint32_t low = chip.registers[kMicrocodeBase + 2 * i];
    uint32_t high = chip.registers[kMicrocodeBase + 2 * i + 1];
    return {high >> 20, (high >> 10) & 0x3FF, high & 0x3FF, (low >> 10) & 0x3FF, low & 0x3FF};
}

const Fields kNoOp = {kAcc3, C0, C0, C0, C0};

void SetInstr(ChipImage& chip, int i, Fields f) {
    chip.registers[kMicrocodeBase + 2 * i] = (f.x << 10) | f.y;
    chip.registers[kMicrocodeBase + 2 * i + 1] = (f.op << 20) | (f.r << 10) | f.a;
}

ChipImage Demo() {
    ChipImageResult r = LoadChipImageFile(kDemoChip);
    EXPECT_TRUE(r.image) << r.error;
    return r.image.value_or(ChipImage{});
}

As10k1Patch DemoPatch() {
    As10k1PatchResult r = LoadAs10k1PatchFile(kDemoPatch);
    EXPECT_TRUE(r.patch) << r.error;
    return r.patch.value_or(As10k1Patch{});
}

// One input/output pair through a 100-sample line, read 50 samples late.
As10k1Patch Echo() {
    As10k1Patch p;
    p.name = "echo";
    p.io = {{0, 1}};
    p.delays = {{100, {{1, 50}}, {{0, 0}}}};
    p.code = {As10k1Instr(kAcc3, 0x200, 0x100, C0, C0), As10k1Instr(kAcc3, 0x101, 0x201, C0, C0)};
    return p;
}

TEST(PatchPlacement, TheDemoPatchGoesBesideTheDemoChipsProgram) {
    ChipImage chip = Demo();
    PatchPlacement placed = PlacePatch(chip, DemoPatch());
    ASSERT_TRUE(placed.image) << placed.error;
    const ChipImage& out = *placed.image;

    for (int i = 0; i < 36; ++i)
        EXPECT_EQ(At(out, i), At(chip, i)) << "the chip's own instruction " << i;
    for (uint32_t a = 0x100; a < 0x11A; ++a)
        EXPECT_EQ(out.registers[a], chip.registers[a]) << std::hex << a;
    // Inputs from the effects bus into the patch's input GPRs first...
    EXPECT_EQ(At(out, 36), (Fields{kAcc3, 0x11A, 0x000, C0, C0}));
    EXPECT_EQ(At(out, 37), (Fields{kAcc3, 0x11C, 0x001, C0, C0}));
    // ...then its code, relocated: acc3 cr.a,sweep,cw.a,C_0...
    EXPECT_EQ(At(out, 41), (Fields{kAcc3, 0x308, 0x11E, 0x307, C0}));
    // ...then its outputs added to what the chip's program wrote there.
    EXPECT_EQ(At(out, 50), (Fields{kAcc3, 0x020, 0x020, 0x11B, C0}));
    EXPECT_EQ(At(out, 51), (Fields{kAcc3, 0x021, 0x021, 0x11D, C0}));
    for (int i = 52; i < kMicrocodeSize; ++i)
        ASSERT_EQ(At(out, i), kNoOp) << i;

    // The short line fits in the internal memory the chip leaves free; the
    // long one goes external, above the chip's own external tank.
    EXPECT_EQ(out.registers[0x307], kWrite | 6881);
    EXPECT_EQ(out.registers[0x308], kRead | (6881 + 384));
    EXPECT_EQ(out.registers[0x384], kWrite | 16801);
    EXPECT_EQ(out.registers[0x385], kRead | (16801 + 14400));
    EXPECT_EQ(out.registers[0x122], 0x3FFFFFFFu) << "cosx starts at 0.5 as the assembler has it";
    EXPECT_EQ(placed.summary,
              "patch 'chorus-echo': instructions 36-51, effects bus 0-1 in, outputs 0x020-0x021 "
              "out; GPRs 0x11A-0x128; delay line of 961 samples in internal TRAM at 6881 (write "
              "0x207 at 0, read 0x208 at 384); delay line of 16801 samples in external TRAM at "
              "16801 (write 0x284 at 0, read 0x285 at 14400)");
}

TEST(PatchPlacement, TheRoutedPatchEchoesTheEffectsBus) {
    PatchPlacement placed = PlacePatch(ChipImage{}, Echo());
    ASSERT_TRUE(placed.image) << placed.error;
    ChipImage chip = *placed.image;
    Fx8010Interpreter dsp;
    std::vector<int32_t> in, out;
    for (int t = 0; t < 120; ++t) {
        dsp.Run(chip, 1);
        in.push_back(int32_t(chip.registers[0x100])); // the input GPR, fed from bus 0
        out.push_back(dsp.Operand(0x20));
    }
    // On an empty chip the output is copied, not added to.
    for (int t = 50; t < 120; ++t)
        ASSERT_EQ(out[t], int32_t(uint32_t(in[t - 50]) & 0xFFFF0000)) << t;
    EXPECT_NE(out[100], out[101]) << "the test tone moves";
}

TEST(PatchPlacement, TheDemoRunsWithDelayLinesInBothPools) {
    PatchPlacement placed = PlacePatch(Demo(), DemoPatch());
    ASSERT_TRUE(placed.image) << placed.error;
    ChipImage chip = *placed.image;
    Fx8010Interpreter dsp;
    dsp.Run(chip, 200);
    ChipImage before = chip;
    dsp.Run(chip, 48);
    int changed = 0;
    for (uint32_t a = 0x100; a < 0x300; ++a)
        changed += chip.registers[a] != before.registers[a];
    EXPECT_GT(changed, 20) << "registers move from one read to the next";
    // The patch's write taps have filled the 200 samples below where they started.
    int internal = 0, external = 0;
    for (uint32_t k = 1; k < 200; ++k) {
        internal += dsp.tram().sample(false, 6881 - k) != 0;
        external += dsp.tram().sample(true, 16801 - k) != 0;
    }
    EXPECT_GT(internal, 150);
    EXPECT_GT(external, 150);
}

TEST(PatchPlacement, LinesGoExternalWhenInternalRegistersOrMemoryRunOut) {
    ChipImage chip;
    for (uint32_t n = 0; n < 126; ++n)
        chip.registers[0x300 + n] = kRead | 10; // two internal registers left
    As10k1Patch p;
    p.tables = {{10, {}, {{0, 0}}}};
    p.delays = {{10, {{2, 5}}, {{1, 0}}}, {8192, {}, {{3, 0}}}};
    PatchPlacement placed = PlacePatch(chip, p);
    ASSERT_TRUE(placed.image) << placed.error;
    const ChipImage& out = *placed.image;
    EXPECT_EQ(out.registers[0x37E], kWrite | 11) << "the table fits internally";
    EXPECT_EQ(out.registers[0x380], kWrite | 0) << "two taps, one internal register: external";
    EXPECT_EQ(out.registers[0x381], kRead | 5);
    EXPECT_EQ(out.registers[0x382], kWrite | 10) << "one register but too little internal memory";
    EXPECT_EQ(out.registers[0x37F], 0u);

    p.delays = {{0x100000, {{2, 5}}, {{1, 0}}}};
    EXPECT_EQ(PlacePatch(chip, p).error,
              "no room for a delay line of 1048576 samples with 2 taps: internal TRAM has 8171 "
              "samples and 1 registers free, external TRAM has 131072 samples and 32 registers "
              "free");
}

TEST(PatchPlacement, SaysWhatIsShortWhenThePatchDoesNotFit) {
    ChipImage full;
    for (uint32_t g = 0x100; g < 0x1FF; ++g)
        full.registers[g] = 1;
    EXPECT_EQ(PlacePatch(full, Echo()).error, "the patch needs 2 GPRs; 1 are free");

    ChipImage busy;
    for (int i = 0; i < kMicrocodeSize; ++i)
        SetInstr(busy, i, kNoOp);
    SetInstr(busy, 509, {kAcc3, 0x100, C0, C0, C0});
    EXPECT_EQ(PlacePatch(busy, Echo()).error,
              "the patch needs 4 instructions (2 of its own, 2 to wire its 1 input/output pair); "
              "2 are free");

    As10k1Patch wide;
    for (uint8_t k = 0; k < 17; ++k)
        wide.io.push_back({uint8_t(2 * k), uint8_t(2 * k + 1)});
    EXPECT_EQ(PlacePatch(ChipImage{}, wide).error,
              "the patch has 17 input/output pairs; the effects bus has 16");
}

TEST(PatchPlacement, GprsAndTramRegistersThatTheChipUsesStayTheChips) {
    ChipImage chip;
    SetInstr(chip, 0, {kAcc3, 0x100, 0x102, 0x201, 0x301}); // zero-valued but used
    PatchPlacement placed = PlacePatch(chip, Echo());
    ASSERT_TRUE(placed.image) << placed.error;
    EXPECT_EQ(At(*placed.image, 1), (Fields{kAcc3, 0x101, 0x000, C0, C0}));
    EXPECT_EQ(At(*placed.image, 2), (Fields{kAcc3, 0x200, 0x101, C0, C0}));
    EXPECT_EQ(At(*placed.image, 3), (Fields{kAcc3, 0x103, 0x202, C0, C0}));
}

TEST(PatchPlacement, TheServiceLoadsAnImageWithAPatchAndNamesTheFileAtFault) {
    TempDir dir;
    std::string summary;
    ChipImageResult r = LoadChipWithPatch(kDemoChip, kDemoPatch, &summary);
    ASSERT_TRUE(r.image) << r.describe();
    EXPECT_EQ(At(*r.image, 36), (Fields{kAcc3, 0x11A, 0x000, C0, C0}));
    EXPECT_NE(summary.find("patch 'chorus-echo'"), std::string::npos);

    r = LoadChipWithPatch("", kDemoPatch, &summary);
    ASSERT_TRUE(r.image) << r.describe();
    EXPECT_EQ(At(*r.image, 0), (Fields{kAcc3, 0x100, 0x000, C0, C0})) << "on an empty chip";
    EXPECT_EQ(At(*r.image, kMicrocodeSize - 1), kNoOp) << "the rest is a loader's idle code";

    // The empty chip is quiet: emuapsctl's status then says "no saturation".
    r = LoadChipWithPatch("", "", &summary);
    ASSERT_TRUE(r.image);
    Fx8010Interpreter().Run(*r.image, 10);
    EXPECT_EQ(fx8010dbg::SaturationAddress(r.image->registers[fx8010dbg::kRegister]), -1);

    std::string bad = dir.write("bad.chip", "emuaps-chip-image 1\nreg 0x100 oops\n");
    r = LoadChipWithPatch(bad, kDemoPatch, &summary);
    EXPECT_FALSE(r.image);
    EXPECT_EQ(r.describe(), bad + ": line 2: bad value 'oops'; expected a 32-bit number");

    std::string junk = dir.write("junk.emu10k1", "EMU10K1 FX8010 1");
    r = LoadChipWithPatch(kDemoChip, junk, &summary);
    EXPECT_EQ(r.describe(), junk + ": the file ends inside the name (at byte 16)");

    As10k1Patch huge = Echo();
    huge.delays[0].size = 0x100000;
    std::string big = dir.write("big.emu10k1", WriteAs10k1Patch(huge));
    r = LoadChipWithPatch(kDemoChip, big, &summary);
    EXPECT_FALSE(r.image);
    EXPECT_EQ(r.describe().rfind(big + ": no room for a delay line", 0), 0u) << r.describe();
}

} // namespace
