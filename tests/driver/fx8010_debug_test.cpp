// The debug register's bits against the interpreter: each row writes DBG
// before each one-sample Run and checks what ran and what DBG then says.
#include "fx8010_interpreter.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace fx8010;
using namespace fx8010dbg;

constexpr uint32_t C0 = 0x40, C1 = 0x41, CMax = 0x4F;

// 0: 0x100 += 1; 1: 0x101 = max + 1, saturating; 2: 0x102 += 1; then no-ops,
// whose zero result leaves the zero code.
ChipImage Program() {
    ChipImage chip;
    auto instr = [&](int i, uint32_t op, uint32_t r, uint32_t a, uint32_t x, uint32_t y) {
        chip.registers[kMicrocodeBase + 2 * i] = (x << 10) | y;
        chip.registers[kMicrocodeBase + 2 * i + 1] = (op << 20) | (r << 10) | a;
    };
    for (int i = 0; i < kMicrocodeSize; ++i)
        instr(i, kAcc3, C0, C0, C0, C0);
    instr(0, kAcc3, 0x100, 0x100, C1, C0);
    instr(1, kAcc3, 0x101, CMax, C1, C0);
    instr(2, kAcc3, 0x102, 0x102, C1, C0);
    instr(3, kMacs, 0x200, 0x58, C0, C0);    // noise into a delay line, when one is set up
    instr(4, kAcc3, 0x103, 0x201, 0x00, C0); // its tap plus the test signal
    return chip;
}

constexpr uint32_t Cc(uint32_t codes) {
    return codes << kCodesShift;
}
constexpr uint32_t SaturatedAt(uint32_t address) {
    return kSaturated | (address << kSaturationShift);
}
constexpr uint32_t kMaxCodes = kCcSaturated | kCcNormalised; // of 0x7FFFFFFF, clipped

struct Row {
    const char* what;
    int before;                // samples run first with DBG 0
    std::vector<uint32_t> dbg; // written before each one-sample Run
    uint32_t r100, r101, r102; // what ran
    uint32_t dbgAfter;
    uint64_t samples;
    int64_t counter = -1; // the delay base counter; -1 unchecked
};

TEST(Fx8010Debug, TheDebugRegisterDrivesTheDspAsOnTheChip) {
    const uint32_t S = kSingleStep, T = kStep;
    const uint32_t M = 0x7FFFFFFF;
    // clang-format off
    const std::vector<Row> rows = {
        {"running keeps codes and the first saturation", 0, {0}, 1, M, 1,
         Cc(kCcZero) | SaturatedAt(1), 1},
        {"single-step mode runs nothing", 0, {S}, 0, 0, 0, S, 0},
        {"the step bit runs one instruction", 0, {S | T | 0}, 1, 0, 0, S | 1, 0},
        {"a step reports its codes and saturation", 0, {S | T | 1}, 0, M, 0,
         S | Cc(kMaxCodes) | SaturatedAt(1) | 2, 0},
        {"a recorded saturation stays until cleared", 0, {S | T | 1 | SaturatedAt(7)}, 0, M, 0,
         S | Cc(kMaxCodes) | SaturatedAt(7) | 2, 0},
        {"steps walk on; clearing the mode finishes the sample", 0, {S | T, S | T | 1, 0}, 1, M, 1,
         Cc(kCcZero), 1},
        {"a step past the last instruction ends the sample", 0, {S | T | 511}, 0, 0, 0,
         S | Cc(kCcZero), 1},
        {"bit 31 zeroes the delay base counter, stopped too", 3, {kZeroCounter | S}, 3, M, 3,
         kZeroCounter | S, 3, 0},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ChipImage chip = Program();
        Fx8010Interpreter dsp;
        dsp.SetTestSignal(false);
        dsp.Run(chip, row.before);
        // Saturation is reported once; the rows start from a clean register.
        chip.registers[kRegister] = 0;
        for (uint32_t dbg : row.dbg) {
            chip.registers[kRegister] = dbg;
            dsp.Run(chip, 1);
        }
        EXPECT_EQ(chip.registers[0x100], row.r100);
        EXPECT_EQ(chip.registers[0x101], row.r101);
        EXPECT_EQ(chip.registers[0x102], row.r102);
        EXPECT_EQ(chip.registers[kRegister], row.dbgAfter) << std::hex << chip.registers[kRegister];
        EXPECT_EQ(dsp.samples(), row.samples);
        if (row.counter >= 0) {
            EXPECT_EQ(dsp.tram().counter(), uint32_t(row.counter));
        }
    }
}

// An input whose frame n is n on bus 0, so a register shows which frame a
// sample heard.
class CountingBus : public BusSource {
  public:
    void Read(int32_t* bus, int frames) override {
        for (int f = 0; f < frames; ++f, ++frames_)
            for (int i = 0; i < kBusInputs; ++i)
                bus[f * kBusInputs + i] = i == 0 ? int32_t(frames_ << 8) : 0;
    }
    uint32_t frames_ = 0;
};

// Stopping part way through a sample changes nothing that an uninterrupted
// run would do, with a delay line, noise and the test signal or an input in
// play; a stopped chip takes no input.
TEST(Fx8010Debug, AStopInsideASampleLeavesTheRunExact) {
    for (bool input : {false, true}) {
        SCOPED_TRACE(input ? "an input" : "the test signal");
        ChipImage chip = Program(), plain = Program();
        chip.registers[0x300] = plain.registers[0x300] = TramEngine::kWrite | 5;
        chip.registers[0x301] = plain.registers[0x301] = TramEngine::kRead | 9;
        Fx8010Interpreter stepped, straight;
        CountingBus steppedBus, straightBus;
        if (input) {
            stepped.SetBusSource(&steppedBus);
            straight.SetBusSource(&straightBus);
        }
        stepped.Run(chip, 10);
        chip.registers[kRegister] = kSingleStep;
        stepped.Run(chip, 5);
        for (uint32_t address : {0u, 1u, 2u}) {
            chip.registers[kRegister] = kSingleStep | kStep | address;
            stepped.Run(chip, 1);
        }
        DebugStop stop = stepped.RunUntil(chip, {{300}, {}}, 5, true);
        EXPECT_EQ(stop.why, DebugStop::Why::Break);
        stepped.Advance(chip, 20);
        straight.Run(plain, 30);
        plain.registers[kRegister] = chip.registers[kRegister];
        EXPECT_EQ(chip.registers, plain.registers);
        EXPECT_EQ(stepped.tram().counter(), straight.tram().counter());
        EXPECT_EQ(steppedBus.frames_, straightBus.frames_);
    }
}

} // namespace
