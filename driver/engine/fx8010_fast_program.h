// The microcode specialised once per load for the fast engine: each
// instruction's opcode and operand kinds folded into one handler, and runs of
// instructions that leave nothing but the accumulator and the codes (a result
// to a read-only address, every operand a constant) worked out in advance,
// as are SKIPs' tests on constant test words and their targets. Indexed by
// address, so a SKIP or a resumed sample may enter anywhere: an entry inside
// such a run stands for the rest of the run.
#pragma once

#include "fx8010_alu.h"
#include "fx8010_instruction.h"

#include <array>
#include <cstdint>

namespace fx8010 {

struct FastOp {
    // The handler's kind: an opcode plus kCodesRead when an operand is 0x57,
    // or kQuiet when no instruction can see its codes before another
    // replaces them; either plus kMasked when its result goes to a TRAM
    // register, which keeps only some bits, and plus kLean when no
    // instruction can see the accumulator it leaves. An opcode plus
    // kAccumulator when an operand is 0x56. Or one of the kinds from kFolded on.
    uint8_t kind;
    uint16_t r, a, x, y;

    static constexpr uint8_t kCodesRead = 16;
    static constexpr uint8_t kQuiet = 32;
    static constexpr uint8_t kMasked = 48;
    static constexpr uint8_t kLean = 96;
    static constexpr uint8_t kAccumulator = 192;
    static constexpr uint8_t kFolded = 208;
    static constexpr uint8_t kByReference = 209; // left to the reference engine
    static constexpr uint8_t kEnd = 210;         // after the last instruction
    // A quiet MACS before another: the commonest pair, run on one dispatch.
    static constexpr uint8_t kQuietMacsPair = 211;
    // A SKIP whose operands are all constants: a jump to x, R set to A.
    static constexpr uint8_t kSkipJump = 212;
    // A SKIP with a constant test word and count and a result that goes
    // nowhere: to r when bit (A & 0x1F) of x | y << 16 is set. Plus one when
    // A is 0x57.
    static constexpr uint8_t kSkipPlanned = 213;
    static constexpr uint8_t kCodesSkipPlanned = 214;
    static constexpr int kKinds = 215;
};

// A FastOp as one run loop runs it: its kind resolved to that loop's handler,
// so that dispatching the next instruction is a single indirect jump.
struct ThreadedOp {
    const void* handler;
    uint16_t r, a, x, y;
};

// What the rest of a folded run leaves, from the address that indexes it.
struct FoldedRun {
    Accumulator acc;
    int32_t result;
    uint32_t flags;         // saturation and borrow of the run's last instruction
    int32_t firstSaturated; // the first of the rest that saturates, or -1
    uint32_t end;           // the address after the run
};

class FastProgram {
  public:
    // constants: the DSP's view of 0x000-0x0FF, read only where it never changes.
    void Build(const std::array<Fx8010Instruction, 512>& code, const int32_t* constants);
    const FastOp* ops() const { return ops_.data(); }
    const FoldedRun* runs() const { return runs_.data(); }
    // Moves on with every Build, so that threaded forms know they are stale.
    uint64_t generation() const { return generation_; }

  private:
    std::array<FastOp, 513> ops_{};
    uint64_t generation_ = 0;
    std::array<FoldedRun, 512> runs_{};
};

// The program threaded for one run loop's handler table, rebuilt when the
// program changed since.
class ThreadedProgram {
  public:
    const ThreadedOp* For(const FastProgram& program, void* const* handlers);

  private:
    std::array<ThreadedOp, 513> ops_{};
    uint64_t built_ = ~uint64_t(0); // never
};

// Operands that read the same value in every sample: the constants and the
// unused addresses after the delay base counter.
inline bool ConstantOperand(uint32_t address) {
    return (address >= 0x40 && address <= 0x55) || (address >= 0x5C && address <= 0xFF);
}

} // namespace fx8010
