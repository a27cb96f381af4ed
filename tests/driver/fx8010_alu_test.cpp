// What single instructions compute: saturation at both limits, the wrapping
// forms, INTERP's ends, the condition codes, the SKIP test word's four
// combining modes, and LOG/EXP.
#include "fx8010_alu.h"

#include <gtest/gtest.h>

namespace {

using namespace fx8010;

constexpr int32_t kMax = 0x7FFFFFFF;
constexpr int32_t kMin = INT32_MIN;
constexpr int32_t kHalf = 0x40000000;
constexpr int32_t kMinusHalf = -0x40000000;

struct Case {
    uint32_t op;
    int32_t a, x, y;
    int32_t r;
    uint32_t cc;
};

AluResult Run(uint32_t op, int32_t a, int32_t x, int32_t y) {
    Accumulator acc = 0;
    return Execute(op, a, x, y, acc);
}

void Check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        AluResult got = Run(c.op, c.a, c.x, c.y);
        EXPECT_EQ(uint32_t(got.r), uint32_t(c.r))
            << "op " << c.op << " A " << c.a << " X " << c.x << " Y " << c.y;
        EXPECT_EQ(got.cc, c.cc) << "op " << c.op << " A " << c.a << " X " << c.x << " Y " << c.y;
    }
}

// Saturated high: positive and normalised; low: negative and normalised.
constexpr uint32_t kHigh = kCcSaturated | kCcNormalised;
constexpr uint32_t kLow = kCcSaturated | kCcNegative | kCcNormalised;

TEST(Fx8010Alu, SaturatingOpsStopAtBothLimits) {
    Check({
        {kMacs, kMax, kHalf, kHalf, kMax, kHigh},
        {kMacs, kMin, kHalf, kMinusHalf, kMin, kLow},
        {kMacs1, kMax, kHalf, kMinusHalf, kMax, kHigh},
        {kMacs1, kMin, kHalf, kHalf, kMin, kLow},
        {kMacints, kMax, 2, 1, kMax, kHigh},
        {kMacints, kMin, -1, 1, kMin, kLow},
        {kAcc3, kMax, 1, 0, kMax, kHigh},
        {kAcc3, kMin, -1, 0, kMin, kLow},
        {kInterp, kMax, kMin, kMin, kMax, kHigh}, // A - 1.0 * (Y - A) overshoots
        {kInterp, kMin, kMin, kMax, kMin, kLow | kCcBorrow},
        // One short of the limits: no saturation.
        {kMacs, kMax - kHalf / 2, kHalf, kHalf, kMax, kCcNormalised},
        {kMacints, kMin + 2, -1, 2, kMin, kCcNegative | kCcNormalised},
        // X + Y beyond 32 bits but the whole sum in range.
        {kAcc3, -1, kMax, 1, kMax, kCcNormalised},
    });
}

TEST(Fx8010Alu, WrappingOpsWrapAndStillFlagSaturation) {
    Check({
        {kMacw, kMax, kHalf, kHalf, int32_t(0x9FFFFFFF), kLow},
        {kMacw, kMin, kHalf, kMinusHalf, 0x60000000, kCcSaturated | kCcNormalised},
        {kMacw1, kMax, kHalf, kMinusHalf, int32_t(0x9FFFFFFF), kLow},
        {kMacw, 0x10000000, kHalf, kHalf, 0x30000000, 0},
        // MACINTW wraps to 31 bits: the result is never negative.
        {kMacintw, kMax, 1, 1, 0, kCcSaturated | kCcZero},
        {kMacintw, 0, -1, 1, kMax, kCcSaturated | kCcNormalised | kCcBorrow},
        {kMacintw, -5, 0, 0, 0x7FFFFFFB, kCcSaturated | kCcNormalised},
        {kMacintw, 0x10, 2, 3, 0x16, 0},
    });
}

TEST(Fx8010Alu, InterpAtZeroIsAAndNearOneIsY) {
    Check({
        {kInterp, 0x10000000, 0, 0x50000000, 0x10000000, 0},
        {kInterp, 0x10000000, kHalf, 0x50000000, 0x30000000, 0},
        // 0x7FFFFFFF is one step short of 1.0: one step short of Y going up...
        {kInterp, 0x10000000, kMax, 0x50000000, 0x4FFFFFFF, kCcNormalised},
        // ...and, rounding down, exactly Y going down.
        {kInterp, 0x50000000, kMax, 0x10000000, 0x10000000, 0},
        {kInterp, kMin, kMax, kMax, kMax - 2, kCcNormalised},
    });
}

// The two low codes by Linux's own names and values (uapi/sound/emu10k1.h).
constexpr uint32_t CC_REG_NORMALIZED = 0x01, CC_REG_BORROW = 0x02;

TEST(Fx8010Alu, ConditionCodesOfPlainResults) {
    Check({
        {kAndxor, 0x0F0F, 0x00FF, 0x000F, 0, kCcZero},
        {kAndxor, -1, 0x20000000, 0, 0x20000000, 0},
        {kAndxor, -1, int32_t(0xC0000000), 0, int32_t(0xC0000000), kCcNegative},
        {kAndxor, -1, int32_t(0xBFFFFFFF), 0, int32_t(0xBFFFFFFF), kCcNegative | CC_REG_NORMALIZED},
        // Borrow: A taken unsigned and the added term go below zero.
        {kAcc3, 1, -2, 0, -1, kCcNegative | CC_REG_BORROW},
        {kAcc3, -1, -2, 0, -3, kCcNegative},
        {kMacs, 0, kHalf, kMinusHalf, int32_t(0xE0000000), kCcNegative | CC_REG_BORROW},
        // The comparisons take A >= Y as the dividing line.
        {kTstneg, 5, 7, 5, 7, 0},
        {kTstneg, 4, 7, 5, ~7, kCcNegative},
        {kLimit, 5, 7, 5, 7, 0},
        {kLimit, 4, 7, 5, 5, 0},
        {kLimit1, 5, 7, 5, 5, 0},
        {kLimit1, 4, 7, 5, 7, 0},
    });
}

TEST(Fx8010Alu, TheAccumulatorKeepsTheFullSumInTheViewOfEachKind) {
    Accumulator acc = 0;
    // X * Y = 2^30: below one step of the fractional result...
    AluResult r = Execute(kMacs, 0, 1, kHalf, acc);
    EXPECT_EQ(r.r, 0);
    EXPECT_EQ(acc, Accumulator(kHalf));
    // ...but four of them make two steps.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Execute(kMacmv, 1234, 1, kHalf, acc).r, 1234) << "MACMV passes A on";
    EXPECT_EQ(AccumulatorOperand(acc, kMacs), 2);
    EXPECT_EQ(AccumulatorOperand(acc, kMacints), 0) << "bits 0-31 of 2^32";

    // A saturated MACS leaves the unsaturated sum in the accumulator.
    Execute(kMacs, kMax, kHalf, kHalf, acc);
    EXPECT_EQ(AccumulatorOperand(acc, kMacw), int32_t(0x9FFFFFFF));
    // Integer results sit in the low bits.
    Execute(kMacints, 3, 4, 5, acc);
    EXPECT_EQ(AccumulatorOperand(acc, kAcc3), 23);
    Execute(kAndxor, -1, 0x1234, 0, acc);
    EXPECT_EQ(AccumulatorOperand(acc, kAndxor), 0x1234);
    EXPECT_EQ(AccumulatorOperand(acc, kMacs), 0);
}

TEST(Fx8010Alu, TheAccumulatorWrapsAt67Bits) {
    Accumulator acc = Accumulator(1) << 65; // the largest power of two below the sign
    acc = WrapAccumulator(acc + acc);
    EXPECT_EQ(acc, -(Accumulator(1) << 66));
    EXPECT_EQ(WrapAccumulator(-1), -1);
}

// Fields of the test word; bits 0-4 want a code set, 5-9 want it clear.
constexpr uint32_t Field(int n, uint32_t bits) {
    return bits << (10 * n);
}
constexpr uint32_t Clear(uint32_t codes) {
    return codes << 5;
}

TEST(Fx8010Alu, SkipTestWordsCombineTheirFieldsAsTheTopBitsSay) {
    const uint32_t Z = kCcZero, N = kCcNegative, S = kCcSaturated;
    // 00: any field wholly true.
    uint32_t w = Field(0, Z | S) | Field(2, N);
    EXPECT_TRUE(SkipTestHolds(w, Z | S));
    EXPECT_FALSE(SkipTestHolds(w, Z)) << "field 1 needs both";
    EXPECT_TRUE(SkipTestHolds(w, N)) << "field 3 alone";
    EXPECT_FALSE(SkipTestHolds(Field(0, Z | Clear(Z)), Z)) << "set and clear at once never hold";
    // 01: every field partly true; an empty field is false.
    w = (1u << 30) | Field(0, Z | S) | Field(1, N) | Field(2, Clear(S));
    EXPECT_TRUE(SkipTestHolds(w, Z | N));
    EXPECT_FALSE(SkipTestHolds(w, Z | N | S)) << "field 3 wants S clear";
    EXPECT_FALSE(SkipTestHolds((1u << 30) | Field(0, Z) | Field(1, Z), Z));
    // 10: field 1 or 2 wholly true, or field 3 partly.
    w = (2u << 30) | Field(0, Z | N) | Field(2, S | Clear(Z));
    EXPECT_TRUE(SkipTestHolds(w, Z | N));
    EXPECT_TRUE(SkipTestHolds(w, 0)) << "Z clear is part of field 3";
    EXPECT_FALSE(SkipTestHolds(w, Z));
    // 11: fields 1 and 2 partly true and field 3 wholly.
    w = (3u << 30) | Field(0, Z | N) | Field(1, Clear(S)) | Field(2, N | Clear(kCcBorrow));
    EXPECT_TRUE(SkipTestHolds(w, N));
    EXPECT_FALSE(SkipTestHolds(w, Z)) << "field 3 wants N";
    EXPECT_FALSE(SkipTestHolds(w, N | S)) << "field 2 wants S clear";
    EXPECT_FALSE(SkipTestHolds(w, N | kCcBorrow));
}

TEST(Fx8010Alu, TheUsualSkipWords) {
    for (uint32_t cc = 0; cc < 32; ++cc) {
        EXPECT_TRUE(SkipTestHolds(0x7FFFFFFF, cc)) << cc;
        EXPECT_EQ(SkipTestHolds(0x8, cc), (cc & kCcZero) != 0) << cc;
        EXPECT_EQ(SkipTestHolds(0x100, cc), (cc & kCcZero) == 0) << cc;
        EXPECT_EQ(SkipTestHolds(0x4, cc), (cc & kCcNegative) != 0) << cc;
        EXPECT_EQ(SkipTestHolds(0x80, cc), (cc & kCcNegative) == 0) << cc;
        EXPECT_EQ(SkipTestHolds(0x180, cc), (cc & (kCcNegative | kCcZero)) == 0) << cc;
        EXPECT_EQ(SkipTestHolds(0x10, cc), (cc & kCcSaturated) != 0) << cc;
        EXPECT_FALSE(SkipTestHolds(0, cc));
    }
}

TEST(Fx8010Alu, LogPutsTheExponentAboveALinearMantissa) {
    // Maximum exponent 7 takes the top three bits of the magnitude.
    EXPECT_EQ(Log(0x40000000, 7, 0), 0x70000000); // 0.5: no leading zeros
    EXPECT_EQ(Log(0x60000000, 7, 0), 0x78000000); // 0.75: half way to the next
    EXPECT_EQ(Log(0x20000000, 7, 0), 0x60000000);
    EXPECT_EQ(Log(0x00000100, 7, 0), 0x00001000); // too small: exponent 0, unnormalised
    EXPECT_EQ(Log(0, 7, 0), 0);
    EXPECT_EQ(Log(0x40000000, 7 + 32, 0), 0x70000000) << "X counts modulo 32";
    EXPECT_EQ(Log(0x12345678, 0, 0), 0x12345678) << "no exponent: the value itself";
    // Sign modes: keep, positive, negative, invert.
    EXPECT_EQ(Log(-0x40000000, 7, 0), -0x70000000);
    EXPECT_EQ(Log(-0x40000000, 7, 1), 0x70000000);
    EXPECT_EQ(Log(0x40000000, 7, 2), -0x70000000);
    EXPECT_EQ(Log(-0x40000000, 7, 3), 0x70000000);
    EXPECT_EQ(Log(0x40000000, 7, 3), -0x70000000);
    EXPECT_EQ(Log(kMin, 7, 1), Log(kMax, 7, 1));
}

TEST(Fx8010Alu, LogRisesWithTheValueAndExpUndoesIt) {
    for (int e : {1, 3, 7, 12, 31}) {
        int32_t previous = -1;
        for (int64_t v = 1; v <= kMax; v = v * 5 / 4 + 1) {
            int32_t log = Log(int32_t(v), e, 0);
            EXPECT_GT(log, previous) << "e " << e << " v " << v;
            previous = log;
            int32_t back = Exp(log, e, 0);
            // The exponent field takes a few mantissa bits off the largest values.
            EXPECT_LE(back, v);
            EXPECT_GE(back, v - (v >> 26)) << "e " << e << " v " << v;
            EXPECT_EQ(Exp(Log(int32_t(-v), e, 0), e, 0), -back);
        }
    }
    EXPECT_EQ(Exp(0x78000000, 7, 0), 0x60000000);
    EXPECT_EQ(Exp(0x70000000, 7, 2), -0x40000000);
    EXPECT_EQ(Exp(0x7FFFFFFF, 5, 0), kMax) << "exponent fields LOG never makes";
}

} // namespace
