// The fast engine: the microcode as FastProgram specialised it, with the same
// effect on every register, code and saturation report as RunMicrocode.
#include "fx8010_interpreter.h"

#include <algorithm>

template <bool kAccumulator, bool kWhole>
uint32_t Fx8010Interpreter::RunFast(uint32_t start, uint32_t end) {
    using namespace fx8010;
    using fx8010::FastOp;
    static_assert(FastOp::kCodesRead == 16 && FastOp::kFolded == 32);
    constexpr uint32_t kKeptFlags = kCcSaturated | kCcBorrow;
    int32_t* m = mem_.data();
    const FastOp* ops = fast_.ops();
    Accumulator acc = acc_;
    int32_t lastResult = codesResult_;
    uint32_t lastFlags = codesFlags_;
    int32_t saturatedAt = saturatedAt_;
    int32_t sampleSaturatedAt = sampleSaturatedAt_;
    auto saturated = [&](uint32_t at) {
        if (sampleSaturatedAt < 0)
            sampleSaturatedAt = int32_t(at);
        if (saturatedAt < 0)
            saturatedAt = int32_t(at);
    };
    auto keep = [&] {
        codesResult_ = lastResult;
        codesFlags_ = lastFlags;
        saturatedAt_ = saturatedAt;
        sampleSaturatedAt_ = sampleSaturatedAt;
        acc_ = acc;
    };
    // Threaded: each handler dispatches the next instruction itself, so each
    // has its own prediction of what follows it. A whole sample's run ends at
    // the kEnd after the last instruction. Quiet handlers leave the codes
    // alone, which only a whole sample's run may do: a run that stops short
    // leaves them to be seen.
#define VELMORA_QUIET(OP) kWhole ? &&quiet_##OP : &&op_##OP
#define VELMORA_REF &&byReference
    // clang-format off
    static void* const handlers[FastOp::kKinds] = {
        &&op_0, &&op_1, &&op_2, &&op_3, &&op_4, &&op_5, &&op_6, &&op_7,
        &&op_8, &&op_9, &&op_10, &&op_11, &&op_12, &&op_13, &&op_14, &&op_15,
        &&codes_0, &&codes_1, &&codes_2, &&codes_3, &&codes_4, &&codes_5, &&codes_6, &&codes_7,
        &&codes_8, &&codes_9, &&codes_10, &&codes_11, &&codes_12, &&codes_13, &&codes_14, &&codes_15,
        &&folded, &&byReference, &&done, VELMORA_REF, VELMORA_REF, VELMORA_REF, VELMORA_REF,
        VELMORA_REF, VELMORA_REF, VELMORA_REF, VELMORA_REF, VELMORA_REF, VELMORA_REF, VELMORA_REF,
        VELMORA_REF, VELMORA_REF,
        VELMORA_QUIET(0), VELMORA_QUIET(1), VELMORA_QUIET(2), VELMORA_QUIET(3),
        VELMORA_QUIET(4), VELMORA_QUIET(5), VELMORA_QUIET(6), VELMORA_QUIET(7),
        VELMORA_QUIET(8), VELMORA_QUIET(9), VELMORA_QUIET(10), VELMORA_QUIET(11),
        VELMORA_QUIET(12), VELMORA_QUIET(13), VELMORA_QUIET(14), &&op_15};
    // clang-format on
#undef VELMORA_REF
#undef VELMORA_QUIET
    const FastOp* in = ops + start;
    const FastOp* const last = ops + end;
#define VELMORA_NEXT(NEXT)                                                                         \
    in = (NEXT);                                                                                   \
    if (!kWhole && in >= last) [[unlikely]]                                                        \
        goto done;                                                                                 \
    goto* handlers[in->kind]
    if (in >= last)
        goto done;
    goto* handlers[in->kind];
    // Each opcode with its own handler, so that Execute reduces to its arithmetic.
#define VELMORA_FAST_OP(OP)                                                                        \
    codes_##OP : m[kConditionCodes] = int32_t(ResultCodes(lastResult) | lastFlags);                \
    op_##OP : {                                                                                    \
        AluResult out = Execute<kAccumulator, false>(OP, m[in->a], m[in->x], m[in->y], acc);       \
        m[in->r] = int32_t(uint32_t(out.r) & in->writeMask);                                       \
        lastResult = out.r;                                                                        \
        lastFlags = out.cc & kKeptFlags;                                                           \
        if ((lastFlags & kCcSaturated) && (sampleSaturatedAt < 0 || saturatedAt < 0)) [[unlikely]] \
            saturated(uint32_t(in - ops));                                                         \
        VELMORA_NEXT(in + 1);                                                                      \
    }                                                                                              \
    quiet_##OP : {                                                                                 \
        AluResult out = Execute<kAccumulator, false>(OP, m[in->a], m[in->x], m[in->y], acc);       \
        m[in->r] = int32_t(uint32_t(out.r) & in->writeMask);                                       \
        if ((out.cc & kCcSaturated) && (sampleSaturatedAt < 0 || saturatedAt < 0)) [[unlikely]]    \
            saturated(uint32_t(in - ops));                                                         \
        VELMORA_NEXT(in + 1);                                                                      \
    }
    VELMORA_FAST_OP(0)
    VELMORA_FAST_OP(1)
    VELMORA_FAST_OP(2)
    VELMORA_FAST_OP(3)
    VELMORA_FAST_OP(4)
    VELMORA_FAST_OP(5)
    VELMORA_FAST_OP(6)
    VELMORA_FAST_OP(7)
    VELMORA_FAST_OP(8)
    VELMORA_FAST_OP(9)
    VELMORA_FAST_OP(10)
    VELMORA_FAST_OP(11)
    VELMORA_FAST_OP(12)
    VELMORA_FAST_OP(13)
    VELMORA_FAST_OP(14)
#undef VELMORA_FAST_OP
    static_assert(kSkip == 15);
codes_15:
    m[kConditionCodes] = int32_t(ResultCodes(lastResult) | lastFlags);
op_15 : {
    // SKIP: R receives A's codes; the condition code register keeps its own.
    const int32_t a = m[in->a];
    m[in->r] = int32_t(uint32_t(a) & in->writeMask);
    uint32_t next = uint32_t(in - ops) + 1;
    if (SkipTestHolds(uint32_t(m[in->x]), uint32_t(a) & kCcMask))
        next += std::min<uint32_t>(uint32_t(m[in->y]), kMicrocodeSize);
    // Past the last instruction all ends the same: the sample's code is done.
    VELMORA_NEXT(ops + std::min<uint32_t>(next, kMicrocodeSize));
}
folded : {
    const FoldedRun& run = fast_.runs()[in - ops];
    if (run.end > end) [[unlikely]]
        goto done;
    if constexpr (kAccumulator)
        acc = run.acc;
    lastResult = run.result;
    lastFlags = run.flags;
    if (run.firstSaturated >= 0 && (sampleSaturatedAt < 0 || saturatedAt < 0)) [[unlikely]]
        saturated(uint32_t(run.firstSaturated));
    VELMORA_NEXT(ops + run.end);
}
byReference : { // an operand is the accumulator
    keep();
    const uint32_t pc = uint32_t(in - ops);
    const uint32_t next = RunMicrocode<kAccumulator, false>(pc, pc + 1);
    acc = acc_;
    lastResult = codesResult_;
    lastFlags = codesFlags_;
    saturatedAt = saturatedAt_;
    sampleSaturatedAt = sampleSaturatedAt_;
    VELMORA_NEXT(ops + std::min<uint32_t>(next, kMicrocodeSize));
}
#undef VELMORA_NEXT
done:
    const uint32_t pc = uint32_t(in - ops);
    m[kConditionCodes] = int32_t(ResultCodes(lastResult) | lastFlags);
    keep();
    return pc;
}

template <bool kAccumulator>
uint32_t Fx8010Interpreter::RunFastUntil(uint32_t start, uint32_t end) {
    uint32_t pc = end == kMicrocodeSize ? RunFast<kAccumulator, true>(start, end)
                                        : RunFast<kAccumulator, false>(start, end);
    return pc < end ? RunMicrocode<kAccumulator, false>(pc, end) : pc;
}

// Each target's instruction runs on the reference engine, which checks it;
// the stretches between them on the fast one.
template <bool kAccumulator>
uint32_t Fx8010Interpreter::RunFastDebugging(uint32_t start, uint32_t end) {
    if (breakOnSaturation_)
        return RunMicrocode<kAccumulator, true>(start, end);
    uint32_t pc = start;
    while (!hit_ && pc < end) {
        if (stops_[pc])
            pc = RunMicrocode<kAccumulator, true>(pc, pc + 1);
        else
            pc = RunFastUntil<kAccumulator>(pc, std::min<uint32_t>(nextStop_[pc], end));
    }
    return pc;
}

template uint32_t Fx8010Interpreter::RunFastUntil<true>(uint32_t, uint32_t);
template uint32_t Fx8010Interpreter::RunFastUntil<false>(uint32_t, uint32_t);
template uint32_t Fx8010Interpreter::RunFastDebugging<true>(uint32_t, uint32_t);
template uint32_t Fx8010Interpreter::RunFastDebugging<false>(uint32_t, uint32_t);
