// What one FX8010 instruction computes from its operand values: the result,
// the condition codes and the accumulator. Pure functions, inline because the
// interpreter calls them 24 million times a second; see README-interpreter.md.
#pragma once

#include <cstdint>

namespace fx8010 {

enum Opcode : uint32_t {
    kMacs,
    kMacs1,
    kMacw,
    kMacw1,
    kMacints,
    kMacintw,
    kAcc3,
    kMacmv,
    kAndxor,
    kTstneg,
    kLimit,
    kLimit1,
    kLog,
    kExp,
    kInterp,
    kSkip
};

// Condition code bits, as the register at 0x57 and the debug register hold
// them: the order of Linux's uapi/sound/emu10k1.h (CC_REG_NORMALIZED 0x01,
// CC_REG_BORROW 0x02).
constexpr uint32_t kCcSaturated = 0x10;
constexpr uint32_t kCcZero = 0x08;
constexpr uint32_t kCcNegative = 0x04;
constexpr uint32_t kCcBorrow = 0x02;
constexpr uint32_t kCcNormalised = 0x01;
constexpr uint32_t kCcMask = 0x1F;

// The 67-bit accumulator, kept sign-extended in a wider integer.
using Accumulator = __int128;

inline Accumulator WrapAccumulator(Accumulator v) {
    constexpr int kSpare = 128 - 67;
    return Accumulator(static_cast<unsigned __int128>(v) << kSpare) >> kSpare;
}

// The instructions that read the accumulator's bits 31-62 as an operand; the
// others read bits 0-31.
inline bool ReadsAccumulatorHigh(uint32_t op) {
    return op <= kMacw1 || op == kMacmv || op == kInterp;
}

// A scaled to the accumulator's fractional alignment (A times 2^31). Plus or
// minus a product of two 32-bit values it still fits 64 bits.
inline int64_t Aligned(int32_t a) {
    return int64_t(a) * (int64_t(1) << 31);
}

inline int32_t AccumulatorOperand(Accumulator acc, uint32_t op) {
    if (ReadsAccumulatorHigh(op))
        acc >>= 31;
    return int32_t(uint32_t(static_cast<unsigned __int128>(acc)));
}

struct AluResult {
    int32_t r;
    uint32_t cc;
};

// Zero, negative and normalised (bits 31 and 30 differ) of a result.
inline uint32_t ResultCodes(int32_t r) {
    uint32_t u = uint32_t(r);
    uint32_t cc = 0;
    if (r == 0)
        cc |= kCcZero;
    if (r < 0)
        cc |= kCcNegative;
    if ((u ^ (u << 1)) & 0x80000000u)
        cc |= kCcNormalised;
    return cc;
}

inline int32_t Saturate(int64_t v) {
    if (v > INT32_MAX)
        return INT32_MAX;
    if (v < INT32_MIN)
        return INT32_MIN;
    return int32_t(v);
}

inline bool OutOfRange(int64_t v) {
    return v > INT32_MAX || v < INT32_MIN;
}

// A + term with A taken unsigned: a borrow is that sum going below zero.
inline uint32_t BorrowCode(int32_t a, int64_t term) {
    return int64_t(uint32_t(a)) + term < 0 ? kCcBorrow : 0;
}

// The zero, negative and normalised codes, unless the caller keeps only
// saturation and borrow and would mask them off anyway.
template <bool kResultCodes> inline uint32_t CodesOf(int32_t r) {
    if constexpr (kResultCodes)
        return ResultCodes(r);
    else
        return 0;
}

// A saturating sum: the result, and its codes with saturation flagged.
template <bool kResultCodes = true>
inline AluResult SaturatedSum(int64_t exact, int32_t a, int64_t term) {
    int32_t r = Saturate(exact);
    uint32_t cc = CodesOf<kResultCodes>(r) | BorrowCode(a, term);
    if (OutOfRange(exact))
        cc |= kCcSaturated;
    return {r, cc};
}

// A wrapping sum still flags saturation when the wrap changed the value.
template <bool kResultCodes = true>
inline AluResult WrappedSum(int64_t exact, int32_t a, int64_t term) {
    int32_t r = int32_t(uint32_t(uint64_t(exact)));
    uint32_t cc = CodesOf<kResultCodes>(r) | BorrowCode(a, term);
    if (OutOfRange(exact))
        cc |= kCcSaturated;
    return {r, cc};
}

int32_t Log(int32_t a, int32_t maxExponent, int32_t signMode);
int32_t Exp(int32_t a, int32_t maxExponent, int32_t signMode);

// Every opcode but SKIP, which changes the flow and so belongs to the
// interpreter (see SkipTestHolds). Without kAccumulator the accumulator is
// left alone, for programs that never read it. Without kResultCodes the
// codes hold only saturation and borrow.
template <bool kAccumulator = true, bool kResultCodes = true>
inline AluResult Execute(uint32_t op, int32_t a, int32_t x, int32_t y, Accumulator& acc) {
    const int64_t product = int64_t(x) * y;
    // One case per opcode, so the dispatch is a single jump.
    auto plain = [&](int32_t r) {
        if constexpr (kAccumulator)
            acc = r;
        return AluResult{r, CodesOf<kResultCodes>(r)};
    };
    // Opcodes are four bits; saying so spares the dispatch a range check.
    switch (op & 0xF) {
    case kMacs: {
        int64_t term = product >> 31;
        if constexpr (kAccumulator)
            acc = Aligned(a) + product;
        return SaturatedSum<kResultCodes>(a + term, a, term);
    }
    case kMacw: {
        int64_t term = product >> 31;
        if constexpr (kAccumulator)
            acc = Aligned(a) + product;
        return WrappedSum<kResultCodes>(a + term, a, term);
    }
    case kMacs1: {
        int64_t term = (-product) >> 31;
        if constexpr (kAccumulator)
            acc = Aligned(a) - product;
        return SaturatedSum<kResultCodes>(a + term, a, term);
    }
    case kMacw1: {
        int64_t term = (-product) >> 31;
        if constexpr (kAccumulator)
            acc = Aligned(a) - product;
        return WrappedSum<kResultCodes>(a + term, a, term);
    }
    case kMacints: {
        int64_t exact = a + product;
        if constexpr (kAccumulator)
            acc = exact;
        return SaturatedSum<kResultCodes>(exact, a, product);
    }
    case kMacintw: {
        // Wraps to 31 bits, so the result is never negative.
        int64_t exact = a + product;
        if constexpr (kAccumulator)
            acc = exact;
        int32_t r = int32_t(uint64_t(exact) & 0x7FFFFFFF);
        uint32_t cc = CodesOf<kResultCodes>(r) | BorrowCode(a, product);
        if (exact < 0 || exact > INT32_MAX)
            cc |= kCcSaturated;
        return {r, cc};
    }
    case kAcc3: {
        int64_t term = int64_t(x) + y;
        if constexpr (kAccumulator)
            acc = a + term;
        return SaturatedSum<kResultCodes>(a + term, a, term);
    }
    case kMacmv:
        if constexpr (kAccumulator)
            acc = WrapAccumulator(acc + product);
        return {a, CodesOf<kResultCodes>(a)};
    case kAndxor:
        return plain((a & x) ^ y);
    case kTstneg:
        return plain(a >= y ? x : ~x);
    case kLimit:
        return plain(a >= y ? x : y);
    case kLimit1:
        return plain(a < y ? x : y);
    case kLog:
        return plain(Log(a, x, y));
    case kExp:
        return plain(Exp(a, x, y));
    case kInterp: {
        int64_t spanProduct = int64_t(x) * (int64_t(y) - a);
        int64_t term = spanProduct >> 31;
        if constexpr (kAccumulator)
            acc = WrapAccumulator(Accumulator(Aligned(a)) + spanProduct);
        return SaturatedSum<kResultCodes>(a + term, a, term);
    }
    case kSkip: // the interpreter never passes it
        return plain(a);
    default:
        __builtin_unreachable();
    }
}

// SKIP's test word against condition codes: three 10-bit fields (bits 0-4
// require a code set, bits 5-9 require it clear) combined as bits 31-30 say.
inline bool SkipTestHolds(uint32_t word, uint32_t cc) {
    bool all[3], any[3];
    for (int i = 0; i < 3; ++i) {
        uint32_t field = (word >> (10 * i)) & 0x3FF;
        uint32_t wantSet = field & kCcMask;
        uint32_t wantClear = (field >> 5) & kCcMask;
        all[i] = field != 0 && (wantSet & ~cc) == 0 && (wantClear & cc) == 0;
        any[i] = (wantSet & cc) != 0 || (wantClear & ~cc) != 0;
    }
    switch (word >> 30) {
    case 0:
        return all[0] || all[1] || all[2];
    case 1:
        return any[0] && any[1] && any[2];
    case 2:
        return all[0] || all[1] || any[2];
    default:
        return any[0] && any[1] && all[2];
    }
}

} // namespace fx8010
