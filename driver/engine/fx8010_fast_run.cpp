// The fast engine: the microcode as FastProgram specialised it, with the same
// effect on every register, code and saturation report as RunMicrocode.
#include "fx8010_interpreter.h"

#include <algorithm>

template <bool kAccumulator, bool kWhole>
uint32_t Fx8010Interpreter::RunFast(uint32_t start, uint32_t end) {
    using namespace fx8010;
    using fx8010::FastOp;
    using fx8010::ThreadedOp;
    constexpr uint32_t kKeptFlags = kCcSaturated | kCcBorrow;
    constexpr uint16_t kAccumulatorAddress = Fx8010Interpreter::kAccumulator; // not the parameter
    int32_t* m = mem_.data();
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
    // alone, and lean ones the accumulator, which only a whole sample's run
    // may do: a run that stops short leaves them to be seen.
#define VELMORA_FIFTEEN(X, M, L)                                                                   \
    X(0, M, L), X(1, M, L), X(2, M, L), X(3, M, L), X(4, M, L), X(5, M, L), X(6, M, L),            \
        X(7, M, L), X(8, M, L), X(9, M, L), X(10, M, L), X(11, M, L), X(12, M, L), X(13, M, L),    \
        X(14, M, L)
#define VELMORA_WHOLE(LABEL) &&LABEL
#define VELMORA_WHOLE_lean(LABEL) kWhole ? &&LABEL##_lean : &&LABEL
#define VELMORA_OP(OP, M, L) VELMORA_WHOLE##L(op_##OP##M)
#define VELMORA_CODES(OP, M, L) VELMORA_WHOLE##L(codes_##OP##M)
#define VELMORA_QUIET(OP, M, L) kWhole ? &&quiet_##OP##M##L : &&op_##OP##M
#define VELMORA_KINDS(M, L)                                                                        \
    VELMORA_FIFTEEN(VELMORA_OP, M, L), &&op_15##M, VELMORA_FIFTEEN(VELMORA_CODES, M, L),           \
        &&codes_15##M, VELMORA_FIFTEEN(VELMORA_QUIET, M, L), &&op_15##M
#define VELMORA_READER(OP, M, L) &&accumulator_##OP
#define VELMORA_REF &&byReference
    static void* const handlers[] = {VELMORA_KINDS(, ),
                                     VELMORA_KINDS(_masked, ),
                                     VELMORA_KINDS(, _lean),
                                     VELMORA_KINDS(_masked, _lean),
                                     VELMORA_FIFTEEN(VELMORA_READER, , ),
                                     VELMORA_REF,
                                     &&folded,
                                     &&byReference,
                                     &&done,
                                     kWhole ? &&macsPair : &&op_0,
                                     &&skipJump,
                                     &&skipPlanned,
                                     &&codesSkipPlanned};
    static_assert(std::size(handlers) == FastOp::kKinds && FastOp::kMasked == 48 &&
                  FastOp::kLean == 96 && FastOp::kAccumulator == 192 && FastOp::kFolded == 208);
#undef VELMORA_REF
#undef VELMORA_READER
#undef VELMORA_KINDS
#undef VELMORA_QUIET
#undef VELMORA_CODES
#undef VELMORA_OP
#undef VELMORA_WHOLE_lean
#undef VELMORA_WHOLE
    const ThreadedOp* const ops = threaded_[2 * kAccumulator + kWhole].For(fast_, handlers);
    const ThreadedOp* in = ops + start;
    const ThreadedOp* const last = ops + end;
#define VELMORA_NEXT(NEXT)                                                                         \
    in = (NEXT);                                                                                   \
    if (!kWhole && in >= last) [[unlikely]]                                                        \
        goto done;                                                                                 \
    goto * in->handler
    if (in >= last)
        goto done;
    goto * in->handler;
    // Each opcode with its own handler, so that Execute reduces to its
    // arithmetic; a twin for results to TRAM registers, which keep only some
    // of their bits; and lean ones that leave the accumulator as it is.
#define VELMORA_KEPT(V) int32_t(V)
#define VELMORA_KEPT_masked(V) int32_t(uint32_t(V) & Fx8010Instruction::WriteMask(in->r))
#define VELMORA_KEEPS kAccumulator
#define VELMORA_KEEPS_lean false
#define VELMORA_FAST_OP(OP, M, L)                                                                  \
    codes_##OP##M##L : m[kConditionCodes] = int32_t(ResultCodes(lastResult) | lastFlags);          \
    op_##OP##M##L : {                                                                              \
        AluResult out = Execute<VELMORA_KEEPS##L, false>(OP, m[in->a], m[in->x], m[in->y], acc);   \
        m[in->r] = VELMORA_KEPT##M(out.r);                                                         \
        lastResult = out.r;                                                                        \
        lastFlags = out.cc & kKeptFlags;                                                           \
        if ((lastFlags & kCcSaturated) && (sampleSaturatedAt < 0 || saturatedAt < 0)) [[unlikely]] \
            saturated(uint32_t(in - ops));                                                         \
        VELMORA_NEXT(in + 1);                                                                      \
    }                                                                                              \
    quiet_##OP##M##L : {                                                                           \
        AluResult out = Execute<VELMORA_KEEPS##L, false>(OP, m[in->a], m[in->x], m[in->y], acc);   \
        m[in->r] = VELMORA_KEPT##M(out.r);                                                         \
        if ((out.cc & kCcSaturated) && (sampleSaturatedAt < 0 || saturatedAt < 0)) [[unlikely]]    \
            saturated(uint32_t(in - ops));                                                         \
        VELMORA_NEXT(in + 1);                                                                      \
    }
#define VELMORA_SKIP(M)                                                                            \
    codes_15##M : m[kConditionCodes] = int32_t(ResultCodes(lastResult) | lastFlags);               \
    op_15##M : {                                                                                   \
        /* SKIP: R receives A's codes; the condition code register keeps its own. */               \
        /* R may be X or Y too: all are read before it is written. */                              \
        const int32_t a = m[in->a], x = m[in->x], y = m[in->y];                                    \
        m[in->r] = VELMORA_KEPT##M(a);                                                             \
        uint32_t next = uint32_t(in - ops) + 1;                                                    \
        if (SkipTestHolds(uint32_t(x), uint32_t(a) & kCcMask))                                     \
            next += std::min<uint32_t>(uint32_t(y), kMicrocodeSize);                               \
        /* Past the last instruction all ends the same: the sample's code is done. */              \
        VELMORA_NEXT(ops + std::min<uint32_t>(next, kMicrocodeSize));                              \
    }
#define VELMORA_ALL_OPS(M, L)                                                                      \
    VELMORA_FAST_OP(0, M, L)                                                                       \
    VELMORA_FAST_OP(1, M, L)                                                                       \
    VELMORA_FAST_OP(2, M, L)                                                                       \
    VELMORA_FAST_OP(3, M, L)                                                                       \
    VELMORA_FAST_OP(4, M, L)                                                                       \
    VELMORA_FAST_OP(5, M, L)                                                                       \
    VELMORA_FAST_OP(6, M, L)                                                                       \
    VELMORA_FAST_OP(7, M, L)                                                                       \
    VELMORA_FAST_OP(8, M, L)                                                                       \
    VELMORA_FAST_OP(9, M, L)                                                                       \
    VELMORA_FAST_OP(10, M, L)                                                                      \
    VELMORA_FAST_OP(11, M, L)                                                                      \
    VELMORA_FAST_OP(12, M, L)                                                                      \
    VELMORA_FAST_OP(13, M, L)                                                                      \
    VELMORA_FAST_OP(14, M, L)
    static_assert(kSkip == 15);
    VELMORA_ALL_OPS(, )
    VELMORA_ALL_OPS(_masked, )
    VELMORA_ALL_OPS(, _lean)
    VELMORA_ALL_OPS(_masked, _lean)
    VELMORA_SKIP()
    VELMORA_SKIP(_masked)
    // An operand is the accumulator, its bits 31-62 for the fractional
    // opcodes; the result kept as its register keeps it, whichever that is.
#define VELMORA_ACCUMULATOR_OP(OP)                                                                 \
    accumulator_##OP : {                                                                           \
        const int32_t v = AccumulatorOperand(acc, OP);                                             \
        const int32_t a = in->a == kAccumulatorAddress ? v : m[in->a];                             \
        const int32_t x = in->x == kAccumulatorAddress ? v : m[in->x];                             \
        const int32_t y = in->y == kAccumulatorAddress ? v : m[in->y];                             \
        AluResult out = Execute<kAccumulator, false>(OP, a, x, y, acc);                            \
        m[in->r] = VELMORA_KEPT_masked(out.r);                                                     \
        lastResult = out.r;                                                                        \
        lastFlags = out.cc & kKeptFlags;                                                           \
        if ((lastFlags & kCcSaturated) && (sampleSaturatedAt < 0 || saturatedAt < 0)) [[unlikely]] \
            saturated(uint32_t(in - ops));                                                         \
        VELMORA_NEXT(in + 1);                                                                      \
    }
    VELMORA_ACCUMULATOR_OP(0)
    VELMORA_ACCUMULATOR_OP(1)
    VELMORA_ACCUMULATOR_OP(2)
    VELMORA_ACCUMULATOR_OP(3)
    VELMORA_ACCUMULATOR_OP(4)
    VELMORA_ACCUMULATOR_OP(5)
    VELMORA_ACCUMULATOR_OP(6)
    VELMORA_ACCUMULATOR_OP(7)
    VELMORA_ACCUMULATOR_OP(8)
    VELMORA_ACCUMULATOR_OP(9)
    VELMORA_ACCUMULATOR_OP(10)
    VELMORA_ACCUMULATOR_OP(11)
    VELMORA_ACCUMULATOR_OP(12)
    VELMORA_ACCUMULATOR_OP(13)
    VELMORA_ACCUMULATOR_OP(14)
#undef VELMORA_ACCUMULATOR_OP
#undef VELMORA_ALL_OPS
#undef VELMORA_SKIP
#undef VELMORA_FAST_OP
#undef VELMORA_KEEPS_lean
#undef VELMORA_KEEPS
#undef VELMORA_KEPT_masked
#undef VELMORA_KEPT
macsPair: // two quiet MACS, each reporting its own saturation; the second's accumulator stays
    for (const bool second : {false, true}) {
        AluResult out = second
                            ? Execute<kAccumulator, false>(kMacs, m[in->a], m[in->x], m[in->y], acc)
                            : Execute<false, false>(kMacs, m[in->a], m[in->x], m[in->y], acc);
        m[in->r] = out.r;
        if ((out.cc & kCcSaturated) && (sampleSaturatedAt < 0 || saturatedAt < 0)) [[unlikely]]
            saturated(uint32_t(in - ops));
        ++in;
    }
    VELMORA_NEXT(in);
skipJump : { // decided when the program was built
    m[in->r] = m[in->a];
    VELMORA_NEXT(ops + in->x);
}
codesSkipPlanned:
    m[kConditionCodes] = int32_t(ResultCodes(lastResult) | lastFlags);
skipPlanned : { // the test worked out for each of the 32 codes
    m[kSink] = m[in->a];
    const uint32_t holds = uint32_t(in->x) | uint32_t(in->y) << 16;
    VELMORA_NEXT((holds >> (uint32_t(m[in->a]) & kCcMask)) & 1 ? ops + in->r : in + 1);
}
folded : {
    const FoldedRun& run = fast_.runs()[in - ops];
    if (run.end > end) [[unlikely]]
        goto done;
    if constexpr (kAccumulator)
        acc = run.acc;
    m[kSink] = run.result; // as its last instruction leaves it, for a stop's report
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
