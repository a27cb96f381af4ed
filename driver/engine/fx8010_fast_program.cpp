#include "fx8010_fast_program.h"

#include <algorithm>

namespace fx8010 {

namespace {

constexpr uint16_t kSink = 0x400;    // where the interpreter sends writes that go nowhere
constexpr uint32_t kSkipLimit = 512; // a SKIP past the last instruction ends the sample
constexpr uint8_t kAccumulatorOperand = Fx8010Instruction::kAccumulatorA |
                                        Fx8010Instruction::kAccumulatorX |
                                        Fx8010Instruction::kAccumulatorY;

// MACMV adds to the accumulator it finds, so only it depends on the one before.
bool Folds(const Fx8010Instruction& in) {
    return in.r == kSink && in.special == 0 && in.op != kMacmv && ConstantOperand(in.a) &&
           ConstantOperand(in.x) && ConstantOperand(in.y);
}

// Where a SKIP may go on: the next instruction and, for a constant count,
// its target (kSkipLimit: past the end), decided beforehand when its test
// and codes are constants too; with a count that varies, anywhere after it.
struct SkipPaths {
    bool countKnown = false, decided = false, taken = false;
    uint32_t target = 0;
};

SkipPaths PathsOf(const Fx8010Instruction& in, uint32_t at, const int32_t* constants) {
    SkipPaths p;
    p.countKnown = ConstantOperand(in.y);
    if (p.countKnown) {
        const uint32_t count = std::min<uint32_t>(uint32_t(constants[in.y]), kSkipLimit);
        p.target = std::min<uint32_t>(at + 1 + count, kSkipLimit);
    }
    p.decided = p.countKnown && ConstantOperand(in.a) && ConstantOperand(in.x);
    if (p.decided)
        p.taken = SkipTestHolds(uint32_t(constants[in.x]), uint32_t(constants[in.a]) & kCcMask);
    return p;
}

} // namespace

void FastProgram::Build(const std::array<Fx8010Instruction, 512>& code, const int32_t* constants) {
    const uint32_t size = uint32_t(code.size());
    for (uint32_t i = 0; i < size; ++i) {
        const Fx8010Instruction& in = code[i];
        const bool readsCodes = (in.special & Fx8010Instruction::kReadsCodes) != 0;
        FastOp& op = ops_[i];
        op = {in.op, in.r, in.a, in.x, in.y};
        if (in.special & kAccumulatorOperand) {
            op.kind = in.op == kSkip || readsCodes ? FastOp::kByReference
                                                   : uint8_t(FastOp::kAccumulator + in.op);
            continue;
        }
        if (Folds(in)) {
            op.kind = FastOp::kFolded;
            continue;
        }
        const bool masked = in.r != kSink && in.writeMask != ~0u;
        if (in.op == kSkip && !masked) {
            const SkipPaths p = PathsOf(in, i, constants);
            if (p.decided) {
                op = {FastOp::kSkipJump, in.r, in.a, uint16_t(p.taken ? p.target : i + 1), 0};
                continue;
            }
            if (p.countKnown && ConstantOperand(in.x) && in.r == kSink) {
                uint32_t holds = 0;
                for (uint32_t cc = 0; cc <= kCcMask; ++cc)
                    if (SkipTestHolds(uint32_t(constants[in.x]), cc))
                        holds |= 1u << cc;
                op = {readsCodes ? FastOp::kCodesSkipPlanned : FastOp::kSkipPlanned,
                      uint16_t(p.target), in.a, uint16_t(holds), uint16_t(holds >> 16)};
                continue;
            }
        }
        if (readsCodes)
            op.kind += FastOp::kCodesRead;
        if (masked)
            op.kind += FastOp::kMasked;
    }
    ops_[size] = {FastOp::kEnd, 0, 0, 0, 0};
    // Whether the codes on entry to an instruction can be seen: by one that
    // reads them, or by the sample's end (the debug register, the next
    // sample), through SKIPs, which keep them, before any other instruction
    // replaces them. An instruction whose own codes no one sees is quiet.
    std::array<bool, 513> seen;
    seen[size] = true;
    for (uint32_t i = size; i-- > 0;) {
        const Fx8010Instruction& in = code[i];
        seen[i] = (in.special & Fx8010Instruction::kReadsCodes) != 0;
        if (in.op == kSkip) {
            const SkipPaths p = PathsOf(in, i, constants);
            if (!p.countKnown)
                seen[i] = true; // the end is among its paths
            else if (p.decided)
                seen[i] = seen[i] || seen[p.taken ? p.target : i + 1];
            else
                seen[i] = seen[i] || seen[i + 1] || seen[p.target];
        }
        const uint8_t kind = ops_[i].kind;
        const bool plain = kind < FastOp::kCodesRead ||
                           (kind >= FastOp::kMasked && kind < FastOp::kMasked + FastOp::kCodesRead);
        if (in.op != kSkip && plain && !seen[i + 1])
            ops_[i].kind += FastOp::kQuiet;
    }
    // The same for the accumulator, which a SKIP keeps too, MACMV adds to and
    // every other instruction replaces.
    seen[size] = true;
    for (uint32_t i = size; i-- > 0;) {
        const Fx8010Instruction& in = code[i];
        const bool reads = (in.special & kAccumulatorOperand) != 0;
        if (in.op == kSkip) {
            const SkipPaths p = PathsOf(in, i, constants);
            if (!p.countKnown)
                seen[i] = true;
            else if (p.decided)
                seen[i] = reads || seen[p.taken ? p.target : i + 1];
            else
                seen[i] = reads || seen[i + 1] || seen[p.target];
            continue;
        }
        seen[i] = reads || (in.op == kMacmv && seen[i + 1]);
        if (ops_[i].kind < FastOp::kLean && !seen[i + 1])
            ops_[i].kind += FastOp::kLean;
    }
    // The first of two MACS leaves no accumulator to see.
    auto quietMacs = [&](uint32_t i) {
        const uint8_t kind = ops_[i].kind;
        return kind == FastOp::kQuiet + kMacs || kind == FastOp::kLean + FastOp::kQuiet + kMacs ||
               kind == FastOp::kQuietMacsPair;
    };
    for (uint32_t i = size - 1; i-- > 0;)
        if (quietMacs(i) && quietMacs(i + 1))
            ops_[i].kind = FastOp::kQuietMacsPair;
    // Every instruction of a run sets the whole accumulator and the codes, so
    // the run leaves what its last one leaves.
    for (int i = int(size) - 1; i >= 0; --i) {
        if (ops_[i].kind != FastOp::kFolded)
            continue;
        const Fx8010Instruction& in = code[i];
        Accumulator acc = 0;
        AluResult out =
            Execute<true, false>(in.op, constants[in.a], constants[in.x], constants[in.y], acc);
        const int32_t saturated = (out.cc & kCcSaturated) ? i : -1;
        const bool runGoesOn = i + 1 < int(size) && ops_[i + 1].kind == FastOp::kFolded;
        if (runGoesOn) {
            runs_[i] = runs_[i + 1];
            if (saturated >= 0)
                runs_[i].firstSaturated = saturated;
        } else {
            runs_[i] = {acc, out.r, out.cc & (kCcSaturated | kCcBorrow), saturated,
                        uint32_t(i + 1)};
        }
    }
    ++generation_;
}

const ThreadedOp* ThreadedProgram::For(const FastProgram& program, void* const* handlers) {
    if (built_ != program.generation()) {
        const FastOp* ops = program.ops();
        for (std::size_t i = 0; i < ops_.size(); ++i)
            ops_[i] = {handlers[ops[i].kind], ops[i].r, ops[i].a, ops[i].x, ops[i].y};
        built_ = program.generation();
    }
    return ops_.data();
}

} // namespace fx8010
