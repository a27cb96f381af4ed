// Programs running on the interpreter: the accumulator across instructions,
// SKIP in the flow, read-only operands, the TRAM engine's delay lines in both
// pools, the DSP's view of TRAM registers, noise, the delay base counter and
// the effects bus signal.
#include "fx8010_interpreter.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

using namespace fx8010;

constexpr uint32_t C0 = 0x40, C1 = 0x41, CMax = 0x4F;
constexpr uint32_t kAcc = 0x56, kCcr = 0x57;

class Program : public ::testing::Test {
  protected:
    Program() {
        for (int i = 0; i < kMicrocodeSize; ++i)
            Instr(i, kAcc3, C0, C0, C0, C0);
        dsp.SetTestSignal(false);
    }
    void Instr(int i, uint32_t op, uint32_t r, uint32_t a, uint32_t x, uint32_t y) {
        chip.registers[kMicrocodeBase + 2 * i] = (x << 10) | y;
        chip.registers[kMicrocodeBase + 2 * i + 1] = (op << 20) | (r << 10) | a;
    }
    // Copies an operand into a GPR, as the DSP sees it.
    void Copy(int i, uint32_t gpr, uint32_t operand) { Instr(i, kAcc3, gpr, operand, C0, C0); }
    void Run(int samples = 1) { dsp.Run(chip, samples); }
    uint32_t& Reg(uint32_t address) { return chip.registers[address]; }

    ChipImage chip;
    Fx8010Interpreter dsp;
};

TEST_F(Program, MacmvAccumulatesProductsForTheNextInstruction) {
    Reg(0x100) = 0x20000000; // 0.25
    Reg(0x101) = 0x40000000; // 0.5
    Reg(0x102) = 0xE0000000; // -0.25
    Reg(0x103) = 1;
    Instr(0, kMacs, C0, C0, C0, C0); // clears the accumulator
    Instr(1, kMacmv, 0x110, 0x103, 0x100, 0x101);
    Instr(2, kMacmv, 0x111, 0x103, 0x101, 0x101);
    Instr(3, kMacmv, 0x112, 0x103, 0x102, 0x100);
    // 0.125 + 0.25 - 0.0625, then 0.25 * 0.5 on top.
    Instr(4, kMacs, 0x113, kAcc, 0x100, 0x101);
    Run();
    EXPECT_EQ(Reg(0x113), 0x28000000u + 0x10000000u);
    EXPECT_EQ(Reg(0x110), 1u);
    EXPECT_EQ(Reg(0x112), 1u) << "MACMV's R is A";

    // Products below one step of a fractional result still add up.
    for (int i = 1; i <= 3; ++i)
        Instr(i, kMacmv, 0x110, C0, C1, 0x101);
    Instr(4, kMacs, 0x114, kAcc, C0, C0);
    Run();
    EXPECT_EQ(Reg(0x114), 1u) << "three times 2^30 passes one step, 2^31";
}

TEST_F(Program, SkipJumpsOverItsCountWhenTheTestHolds) {
    Reg(0x100) = 0x8;                           // the test word: zero
    Reg(0x101) = 2;                             // the count
    Reg(0x105) = 0x4;                           // the test word: negative
    Instr(0, kAcc3, 0x110, C0, C0, C0);         // a zero result
    Instr(1, kSkip, 0x111, kCcr, 0x100, 0x101); // taken
    Instr(2, kAcc3, 0x112, C1, C0, C0);         // skipped
    Instr(3, kAcc3, 0x113, C1, C0, C0);         // skipped
    Instr(4, kAcc3, 0x114, C1, C0, C0);         // runs
    Instr(5, kSkip, 0x115, kCcr, 0x105, 0x101); // not taken
    Instr(6, kAcc3, 0x116, C1, C0, C0);
    Run();
    EXPECT_EQ(Reg(0x111), kCcZero) << "R receives the codes named by A";
    EXPECT_EQ(Reg(0x112), 0u);
    EXPECT_EQ(Reg(0x113), 0u);
    EXPECT_EQ(Reg(0x114), 1u);
    EXPECT_EQ(Reg(0x115), 0u) << "after ACC3 1 the codes are 0";
    EXPECT_EQ(Reg(0x116), 1u);

    // Skipping past the end ends the sample; the next one starts at 0.
    Reg(0x102) = 0xFFFFFFFF;
    Instr(0, kAcc3, 0x117, 0x117, C1, C0);
    Instr(7, kSkip, C0, C0, 0x4F, 0x102); // 0x7FFFFFFF: always
    Instr(8, kAcc3, 0x118, C1, C0, C0);
    Run(3);
    EXPECT_EQ(Reg(0x117), 3u);
    EXPECT_EQ(Reg(0x118), 0u);
}

TEST_F(Program, ConditionCodesFollowEveryInstruction) {
    Instr(0, kAcc3, 0x100, 0x4E, 0x50, C0); // 0x80000000 - 1: saturates low
    Copy(1, 0x101, kCcr);
    Copy(2, 0x102, kCcr); // the copy itself gave a positive, unnormalised result
    Run();
    EXPECT_EQ(Reg(0x100), 0x80000000u);
    EXPECT_EQ(Reg(0x101), kCcSaturated | kCcNegative | kCcNormalised);
    EXPECT_EQ(Reg(0x102), 0u);
}

TEST_F(Program, ConstantsAndHardwareRegistersIgnoreWrites) {
    Instr(0, kAcc3, 0x4A, C1, C1, C0); // the chip's own 0x80000
    Instr(1, kAcc3, 0x55, C1, C1, C0);
    Instr(2, kAcc3, 0x5B, C1, C0, C0); // the delay base counter
    Copy(3, 0x100, 0x4A);
    Copy(4, 0x101, 0x55);
    Copy(5, 0x102, 0x5B);
    Run();
    EXPECT_EQ(Reg(0x100), 0x80000u);
    EXPECT_EQ(Reg(0x101), 0x100000u);
    EXPECT_EQ(Reg(0x102), 0u);
}

// Internal tank: write at 100, read `delay` samples later; the program copies
// GPR 0x100 into the line and the tap into GPR 0x110.
class DelayLine : public Program {
  protected:
    void Build(uint32_t write, uint32_t read, uint32_t pool) {
        Reg(0x300 + write) = TramEngine::kWrite | 100;
        Reg(0x300 + read) = TramEngine::kRead | (100 + delay(pool));
        Instr(0, kAcc3, 0x200 + write, 0x100, C0, C0);
        Copy(1, 0x110, 0x200 + read);
    }
    // The external line is longer than the whole internal pool.
    uint32_t delay(uint32_t pool) const { return pool == 0 ? 37 : 20000; }
};

TEST_F(DelayLine, AnImpulseComesBackExactlyItsLengthLater) {
    for (uint32_t pool : {0u, 1u}) {
        SCOPED_TRACE(pool == 0 ? "internal" : "external");
        dsp.Reset();
        uint32_t base = pool == 0 ? 0 : 128;
        Build(base + 0, base + 1, pool);
        Reg(0x100) = 0x40000000;
        Run();
        Reg(0x100) = 0;
        Run(int(delay(pool)) - 1);
        EXPECT_EQ(Reg(0x110), 0u) << "one sample early";
        // Read as the sample before ends, so a stopped chip shows it.
        EXPECT_EQ(Reg(0x201 + base), 0x40000u) << "the host sees the 20-bit data field";
        Run();
        EXPECT_EQ(Reg(0x110), 0x40000000u);
        Run();
        EXPECT_EQ(Reg(0x110), 0u) << "one sample late";
        Reg(0x300 + base) = 0;
        Reg(0x301 + base) = 0;
    }
}

TEST_F(DelayLine, SamplesAreHeldAt16BitsAndDataRegistersAt20) {
    Build(0, 1, 0);
    Reg(0x100) = 0x12345678;
    Copy(2, 0x111, 0x200); // the data register as the DSP sees it after the write
    Run();
    EXPECT_EQ(Reg(0x111), 0x12345000u);
    EXPECT_EQ(Reg(0x200), 0x12345u);
    Run(int(delay(0)));
    EXPECT_EQ(Reg(0x110), 0x12340000u);
}

TEST_F(DelayLine, TheClearFlagMovesSilence) {
    Build(0, 1, 0);
    Reg(0x300) |= TramEngine::kClear;
    Reg(0x100) = 0x40000000;
    Run(int(delay(0)) + 1);
    EXPECT_EQ(Reg(0x110), 0u);
}

TEST_F(DelayLine, ResetSilencesTheLines) {
    Build(0, 1, 0);
    Reg(0x100) = 0x40000000;
    Run();
    Reg(0x100) = 0;
    dsp.Reset();
    Run(int(delay(0)) + 1);
    EXPECT_EQ(Reg(0x110), 0u);
}

TEST_F(Program, AddressRegistersKeepFlagsFromTheHostAndFractionsForTheDsp) {
    Reg(0x302) = 0x00400000 | 7; // align, address 7
    Reg(0x100) = 0x80000C01;     // bit 31 is beyond the DSP's reach
    Copy(0, 0x101, 0x302);
    Instr(1, kAcc3, 0x302, 0x100, C0, C0);
    Copy(2, 0x102, 0x302);
    Run();
    EXPECT_EQ(Reg(0x101), 7u << 11) << "the address in bits 11-30";
    EXPECT_EQ(Reg(0x102), 0xC01u);
    EXPECT_EQ(Reg(0x302), 0x00400001u) << "address 1 with the host's flags";
    Instr(1, kAcc3, C0, C0, C0, C0);
    Run();
    EXPECT_EQ(Reg(0x101), 0xC01u) << "the fraction lasts from block to block";
}

// A host write during a block is the newer one, even when it is the very
// value the block picked up: a counter reset to where the block found it
// stays reset, like one set elsewhere, while one left alone counts on. The
// write is made as the DSP ends a sample in the middle of the block.
struct HostWriteAtSample : SampleObserver {
    void SampleEnded(const Fx8010Interpreter& dsp) override {
        if (dsp.samples() == at)
            ApsWriteRegister(reg, value);
    }
    ApsChipWord* reg;
    uint32_t value;
    uint64_t at;
};

TEST_F(Program, AHostWriteDuringABlockStaysWhateverItsValue) {
    const int kSamples = 500;
    Instr(0, kAcc3, 0x100, 0x100, C1, C0);
    Instr(1, kAcc3, 0x101, 0x101, C1, C0);
    for (uint32_t written : {0u, 7u}) { // the value the block picked up, and another
        std::vector<ApsChipWord> shared(chip.registers.begin(), chip.registers.end());
        HostWriteAtSample write;
        write.reg = &shared[0x100];
        write.value = written;
        write.at = 100;
        dsp.Reset();
        dsp.SetSampleObserver(&write);
        EXPECT_EQ(dsp.Run(shared.data(), kSamples), kSamples);
        EXPECT_EQ(ApsLoadRegister(&shared[0x100]), written);
        EXPECT_EQ(ApsLoadRegister(&shared[0x101]), uint32_t(kSamples));
    }
    dsp.SetSampleObserver(nullptr);
}

TEST_F(Program, NoiseChangesAndItsSecondRegisterLagsOneSample) {
    Copy(0, 0x100, 0x58);
    Copy(1, 0x101, 0x59);
    std::set<uint32_t> seen;
    uint32_t previous = 0;
    for (int i = 0; i < 50; ++i) {
        Run();
        if (i > 0) {
            EXPECT_EQ(Reg(0x101), previous);
        }
        previous = Reg(0x100);
        seen.insert(previous);
    }
    EXPECT_EQ(seen.size(), 50u);
}

TEST_F(Program, TheDelayBaseCounterCountsDownInAddressUnits) {
    Copy(0, 0x100, 0x5B);
    Run();
    EXPECT_EQ(Reg(0x100), 0u);
    Run();
    EXPECT_EQ(Reg(0x100), 0xFFFFFu << 11) << "20 bits, wrapping";
    Run(10);
    EXPECT_EQ(Reg(0x100), 0xFFFF5u << 11);
}

TEST_F(Program, TheEffectsBusCarriesTheTestSignal) {
    for (uint32_t bus = 0; bus < 16; ++bus)
        Copy(int(bus), 0x100 + bus, bus);
    Run(10);
    for (uint32_t bus = 0; bus < 16; ++bus)
        EXPECT_EQ(Reg(0x100 + bus), 0u) << "off: silent";
    dsp.SetTestSignal(true);
    std::set<uint32_t> moving;
    for (int i = 0; i < 200; ++i) {
        Run();
        for (uint32_t bus = 0; bus < 16; ++bus)
            if (Reg(0x100 + bus) != 0)
                moving.insert(bus);
        int32_t tone = int32_t(Reg(0x100));
        EXPECT_LE(tone < 0 ? -int64_t(tone) : tone, 0x20000000) << "a quarter of full scale";
    }
    EXPECT_EQ(moving, (std::set<uint32_t>{0, 1, 2, 3}));
}

TEST_F(Program, OutputsHoldWhatTheProgramWroteAndInputsAreRefilled) {
    Instr(0, kAcc3, 0x20, C1, C1, C0);
    Instr(1, kAcc3, 0x10, C1, C0, C0); // an external input, silent again next sample
    Copy(2, 0x100, 0x10);
    Run();
    EXPECT_EQ(dsp.Operand(0x20), 2);
    EXPECT_EQ(Reg(0x100), 1u);
    Instr(0, kAcc3, C0, C0, C0, C0);
    Instr(1, kAcc3, C0, C0, C0, C0);
    Run();
    EXPECT_EQ(dsp.Operand(0x20), 2);
    EXPECT_EQ(Reg(0x100), 0u);
}

} // namespace
