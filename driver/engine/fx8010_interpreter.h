// The FX8010 running its microcode: once per sample, all 512 instructions
// over the DSP's operand space, with the TRAM engine around them. The chip's
// registers (host view) stay the one record of GPRs, TRAM registers and
// microcode; Run picks them up before a block of samples and puts back the
// ones the block changed after it. The host may write the shared registers at
// any time, from another process: a host write takes effect at the next
// block, and is never undone by a block that picked the register up before
// it, whatever the value written.
#pragma once

#include "aps_shared_chip.h"
#include "chip_image.h"
#include "effects_bus_signal.h"
#include "fx8010_alu.h"
#include "tram_engine.h"

#include <array>
#include <cstdint>

// What a block of samples takes from outside and gives back, sample by
// sample; both are optional.
struct DspBlockIo {
    static constexpr int kBusInputs = 16; // effects bus 0x00-0x0F
    static constexpr int kOutputs = 32;   // outputs 0x20-0x3F
    // samples x kBusInputs values; without it the test signal (or silence).
    const int32_t* bus = nullptr;
    // samples x kOutputs values: the outputs as each sample left them.
    int32_t* outputs = nullptr;
};

class Fx8010Interpreter {
  public:
    // Operand addresses with a meaning of their own.
    static constexpr uint32_t kEffectsBus = 0x00;
    static constexpr uint32_t kExternalInputs = 0x10;
    static constexpr uint32_t kOutputs = 0x20;
    static constexpr uint32_t kConstants = 0x40;
    static constexpr uint32_t kAccumulator = 0x56;
    static constexpr uint32_t kConditionCodes = 0x57;
    static constexpr uint32_t kNoise = 0x58;
    static constexpr uint32_t kNoiseDelayed = 0x59;
    static constexpr uint32_t kInterrupt = 0x5A;
    static constexpr uint32_t kDelayBase = 0x5B;
    static constexpr uint32_t kGprs = 0x100;
    static constexpr uint32_t kTramData = 0x200;
    static constexpr uint32_t kTramAddress = 0x300;

    Fx8010Interpreter();
    // Powers up: silence in the delay lines, the accumulator, outputs and
    // counters at zero.
    void Reset();
    // Executes `samples` samples on the chip's 0x800 shared registers, which
    // others may read and write meanwhile; whatever they hold, the DSP stays
    // inside its own memory.
    void Run(ApsChipWord* registers, int samples, const DspBlockIo& io = {});
    // The same on an image that nothing else touches meanwhile.
    void Run(ChipImage& chip, int samples, const DspBlockIo& io = {});
    // With the test signal off the effects bus inputs are silent.
    void SetTestSignal(bool on) { testSignal_ = on; }

    // The DSP's view of an operand as the last sample left it (the
    // accumulator's low word at 0x56).
    int32_t Operand(uint32_t address) const;
    fx8010::Accumulator accumulator() const { return acc_; }
    const TramEngine& tram() const { return tram_; }

  private:
    enum : uint8_t {
        kAccumulatorA = 1,
        kAccumulatorX = 2,
        kAccumulatorY = 4,
        kReadsCodes = 8,
        kSkipping = 16,
    };
    struct Instruction {
        uint8_t op;
        uint8_t special; // kAccumulatorA...kSkipping: what the plain path does not do
        uint16_t r, a, x, y;
        uint32_t writeMask;
    };

    template <class Registers>
    void RunOn(const Registers& registers, int samples, const DspBlockIo& io);
    template <class Registers> void Decode(const Registers& registers);
    template <class Registers> void Pick(const Registers& registers);
    template <class Registers> void Put(const Registers& registers);
    void RunSample(const int32_t* bus);
    template <bool kCodes, bool kAccumulator> void RunMicrocode();

    // 0x000-0x3FF in the DSP's view, then a sink for writes that go nowhere.
    static constexpr uint16_t kSink = 0x400;
    std::array<int32_t, 0x401> mem_{};
    std::array<Instruction, kMicrocodeSize> code_{};
    // Whether any instruction reads the condition codes or the accumulator:
    // when none does, the interpreter saves itself keeping them.
    bool codesRead_ = true;
    bool accumulatorRead_ = true;
    // The condition codes are worked out when read, from the last result and
    // its saturation and borrow bits.
    int32_t codesResult_ = 0;
    uint32_t codesFlags_ = 0;
    // Address bits below a whole sample, which only the DSP sees.
    std::array<uint16_t, 256> addressFraction_{};
    // Registers 0x100-0x3FF as the block picked them up: their values, and
    // for shared registers the whole words, write counts and all.
    std::array<uint32_t, 0x300> picked_{};
    std::array<ApsChipWord, 0x300> pickedWords_{};
    fx8010::Accumulator acc_ = 0;
    uint32_t noise_ = 0x9E3779B9;
    bool testSignal_ = true;
    EffectsBusSignal signal_;
    TramEngine tram_;
};
