#include "fx8010_fast_program.h"

namespace fx8010 {

namespace {

constexpr uint16_t kSink = 0x400; // where the interpreter sends writes that go nowhere
constexpr uint8_t kAccumulatorOperand = Fx8010Instruction::kAccumulatorA |
                                        Fx8010Instruction::kAccumulatorX |
                                        Fx8010Instruction::kAccumulatorY;

// MACMV adds to the accumulator it finds, so only it depends on the one before.
bool Folds(const Fx8010Instruction& in) {
    return in.r == kSink && in.special == 0 && in.op != kMacmv && ConstantOperand(in.a) &&
           ConstantOperand(in.x) && ConstantOperand(in.y);
}

} // namespace

void FastProgram::Build(const std::array<Fx8010Instruction, 512>& code, const int32_t* constants) {
    for (std::size_t i = 0; i < code.size(); ++i) {
        const Fx8010Instruction& in = code[i];
        uint8_t kind = in.op;
        if (in.special & kAccumulatorOperand)
            kind = FastOp::kByReference;
        else if (Folds(in))
            kind = FastOp::kFolded;
        else if (in.special & Fx8010Instruction::kReadsCodes)
            kind |= FastOp::kCodesRead;
        if (kind < FastOp::kFolded && in.r != kSink && in.writeMask != ~0u)
            kind |= FastOp::kMasked;
        ops_[i] = {kind, in.r, in.a, in.x, in.y};
    }
    ops_[code.size()] = {FastOp::kEnd, 0, 0, 0, 0};
    // The codes are seen by an instruction that reads them, after a SKIP
    // (which may jump to one) and when the sample's code ends.
    bool seen = true;
    for (int i = int(code.size()) - 1; i >= 0; --i) {
        const bool skip = code[i].op == kSkip;
        if (!skip && !seen && (ops_[i].kind & ~FastOp::kMasked) < FastOp::kCodesRead)
            ops_[i].kind += FastOp::kQuiet;
        seen = skip || (code[i].special & Fx8010Instruction::kReadsCodes);
    }
    const uint8_t quietMacs = FastOp::kQuiet + kMacs;
    for (int i = int(code.size()) - 2; i >= 0; --i)
        if (ops_[i].kind == quietMacs &&
            (ops_[i + 1].kind == quietMacs || ops_[i + 1].kind == FastOp::kQuietMacsPair))
            ops_[i].kind = FastOp::kQuietMacsPair;
    // Every instruction of a run sets the whole accumulator and the codes, so
    // the run leaves what its last one leaves.
    for (int i = int(code.size()) - 1; i >= 0; --i) {
        if (ops_[i].kind != FastOp::kFolded)
            continue;
        const Fx8010Instruction& in = code[i];
        Accumulator acc = 0;
        AluResult out =
            Execute<true, false>(in.op, constants[in.a], constants[in.x], constants[in.y], acc);
        const int32_t saturated = (out.cc & kCcSaturated) ? i : -1;
        const bool runGoesOn = i + 1 < int(code.size()) && ops_[i + 1].kind == FastOp::kFolded;
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
