// The fast engine: the microcode as FastProgram specialised it, with the same
// effect on every register, code and saturation report as RunMicrocode.
#include "fx8010_interpreter.h"

#include <algorithm>

template <bool kAccumulator> uint32_t Fx8010Interpreter::RunFast(uint32_t start, uint32_t end) {
    using namespace fx8010;
    using fx8010::FastOp;
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
    uint32_t pc = start;
    while (pc < end) {
        const FastOp& in = ops[pc];
        // One case per kind, each with its opcode fixed, so that Execute
        // reduces to that opcode's arithmetic.
#define VELMORA_FAST_OP(OP)                                                                        \
    case OP | FastOp::kCodesRead:                                                                  \
        m[kConditionCodes] = int32_t(ResultCodes(lastResult) | lastFlags);                         \
        [[fallthrough]];                                                                           \
    case OP: {                                                                                     \
        AluResult out = Execute<kAccumulator, false>(OP, m[in.a], m[in.x], m[in.y], acc);          \
        m[in.r] = int32_t(uint32_t(out.r) & in.writeMask);                                         \
        lastResult = out.r;                                                                        \
        lastFlags = out.cc & kKeptFlags;                                                           \
        if ((lastFlags & kCcSaturated) && (sampleSaturatedAt < 0 || saturatedAt < 0)) [[unlikely]] \
            saturated(pc);                                                                         \
        ++pc;                                                                                      \
        break;                                                                                     \
    }
        switch (in.kind) {
            VELMORA_FAST_OP(kMacs)
            VELMORA_FAST_OP(kMacs1)
            VELMORA_FAST_OP(kMacw)
            VELMORA_FAST_OP(kMacw1)
            VELMORA_FAST_OP(kMacints)
            VELMORA_FAST_OP(kMacintw)
            VELMORA_FAST_OP(kAcc3)
            VELMORA_FAST_OP(kMacmv)
            VELMORA_FAST_OP(kAndxor)
            VELMORA_FAST_OP(kTstneg)
            VELMORA_FAST_OP(kLimit)
            VELMORA_FAST_OP(kLimit1)
            VELMORA_FAST_OP(kLog)
            VELMORA_FAST_OP(kExp)
            VELMORA_FAST_OP(kInterp)
#undef VELMORA_FAST_OP
        case kSkip | FastOp::kCodesRead:
            m[kConditionCodes] = int32_t(ResultCodes(lastResult) | lastFlags);
            [[fallthrough]];
        case kSkip: {
            // R receives A's codes; the condition code register keeps its own.
            const int32_t a = m[in.a];
            m[in.r] = int32_t(uint32_t(a) & in.writeMask);
            uint32_t next = pc + 1;
            if (SkipTestHolds(uint32_t(m[in.x]), uint32_t(a) & kCcMask))
                next += std::min<uint32_t>(uint32_t(m[in.y]), kMicrocodeSize);
            pc = next;
            break;
        }
        case FastOp::kFolded: {
            const FoldedRun& run = fast_.runs()[pc];
            if (run.end > end) [[unlikely]]
                goto done;
            if constexpr (kAccumulator)
                acc = run.acc;
            lastResult = run.result;
            lastFlags = run.flags;
            if (run.firstSaturated >= 0 && (sampleSaturatedAt < 0 || saturatedAt < 0)) [[unlikely]]
                saturated(uint32_t(run.firstSaturated));
            pc = run.end;
            break;
        }
        default: // kByReference: an operand is the accumulator
            keep();
            pc = RunMicrocode<kAccumulator, false>(pc, pc + 1);
            acc = acc_;
            lastResult = codesResult_;
            lastFlags = codesFlags_;
            saturatedAt = saturatedAt_;
            sampleSaturatedAt = sampleSaturatedAt_;
            break;
        }
    }
done:
    m[kConditionCodes] = int32_t(ResultCodes(lastResult) | lastFlags);
    keep();
    return pc;
}

template <bool kAccumulator>
uint32_t Fx8010Interpreter::RunFastUntil(uint32_t start, uint32_t end) {
    uint32_t pc = RunFast<kAccumulator>(start, end);
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
