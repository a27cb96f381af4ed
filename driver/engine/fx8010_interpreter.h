// The FX8010 running its microcode: once per sample, all 512 instructions
// over the DSP's operand space, with the TRAM engine around them. The chip's
// registers (host view) stay the one record of GPRs, TRAM registers and
// microcode; Run picks them up before a block of samples and puts back the
// ones the block changed after it. The host may write the shared registers at
// any time, from another process: a host write takes effect at the next
// block, and is never undone by a block that picked the register up before
// it, whatever the value written.
// The debug register (see fx8010_debug.h) can stop the DSP in the middle of a
// sample; the sample then resumes where it stood.
#pragma once

#include "aps_shared_chip.h"
#include "bus_source.h"
#include "chip_image.h"
#include "effects_bus_signal.h"
#include "fx8010_alu.h"
#include "fx8010_debug.h"
#include "fx8010_fast_program.h"
#include "fx8010_instruction.h"
#include "sample_observer.h"
#include "state_carry.h"
#include "tram_engine.h"

#include <array>
#include <bitset>
#include <cstdint>

// What a block of samples gives back, sample by sample; optional.
struct DspBlockIo {
    static constexpr int kOutputs = 32; // outputs 0x20-0x3F
    // samples x kOutputs values: the outputs as each sample left them.
    int32_t* outputs = nullptr;
    // samples x probeCount values: these operands as each sample left them
    // (a TRAM data register's sample in bits 12-31, so at full scale).
    const uint32_t* probes = nullptr;
    int probeCount = 0;
    int32_t* probed = nullptr;
};

// The fast engine runs a specialised form of the microcode, built once per
// load; the reference engine decodes every instruction as it goes. Both give
// the same samples, registers and codes; the reference one is kept to test
// and measure the fast one against.
enum class Fx8010Engine : uint8_t { kFast, kReference };

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
    // A new program swapped in between two samples (the registers already
    // hold it): the delay lines carried over, each TRAM address register's
    // fraction with it, and the next sample's TRAM reads made afresh. False,
    // having done nothing, while a sample stands part way.
    bool Carry(const StateCarry& carry);
    // Executes `samples` samples on the chip's 0x800 registers, which others
    // may read and write meanwhile; whatever they hold, the DSP stays inside
    // its own memory. A sample stopped part way is finished first and counts
    // as one. Obeys the debug register: while it stops the DSP, nothing runs
    // but the one instruction a step asks for, the outputs hold, and 0 is
    // returned; otherwise `samples`.
    int Run(ApsChipWord* registers, int samples, const DspBlockIo& io = {});
    // The same on an image that nothing else touches meanwhile.
    int Run(ChipImage& chip, int samples, const DspBlockIo& io = {});
    // Executes `samples` whole samples whatever the debug register says.
    void Advance(ApsChipWord* registers, int samples);
    void Advance(ChipImage& chip, int samples);
    // Executes until targets stop it or `samples` more samples have ended,
    // and stands there. With passFirst the instruction it stands at runs
    // even when it is a break target, so a run from a break moves on.
    DebugStop RunUntil(ApsChipWord* registers, const DebugTargets& targets, int64_t samples,
                       bool passFirst);
    DebugStop RunUntil(ChipImage& chip, const DebugTargets& targets, int64_t samples,
                       bool passFirst);
    // The effects bus inputs: from source while it is set (it outlives the
    // setting), else the test signal, or silence with the test signal off.
    void SetBusSource(BusSource* source) { busSource_ = source; }
    void SetTestSignal(bool on) { testSignal_ = on; }
    // Told of every sample as it ends, until set to null.
    void SetSampleObserver(SampleObserver* observer) { observer_ = observer; }
    // Either engine may take over at any point, even inside a sample.
    void SetEngine(Fx8010Engine engine) { engine_ = engine; }
    Fx8010Engine engine() const { return engine_; }
    // The engine of interpreters constructed from now on (fast at first).
    static void SetDefaultEngine(Fx8010Engine engine);

    // The DSP's view of an operand as the last sample left it (the
    // accumulator's low word at 0x56).
    int32_t Operand(uint32_t address) const;
    // The same for 0x000-0x3FF at once, but for the accumulator.
    const int32_t* operands() const { return mem_.data(); }
    fx8010::Accumulator accumulator() const { return acc_; }
    // What the last run on shared registers picked up, write counts and
    // all, for the chip's past to tell which host writes the DSP took where:
    // DBG at every run; the GPRs and TRAM registers and the microcode at the
    // runs that move `picks`.
    struct Picked {
        ApsChipWord dbg;
        const ApsChipWord* registers; // 0x100-0x3FF
        const uint32_t* microcode;    // the words' values, and their counts
        const uint32_t* microcodeCounts;
        uint64_t picks;
    };
    Picked picked() const {
        return {pickedDbg_, pickedWords_.data(), decodedWords_.data(), microcodeCounts_.data(),
                picks_};
    }
    const TramEngine& tram() const { return tram_; }
    // The delay lines, which the chip's past keeps apart and puts back.
    TramEngine& tram() { return tram_; }
    // Samples ended since Reset, and the next instruction of the one under way.
    uint64_t samples() const { return samples_; }
    uint32_t pc() const { return pc_; }
    // The first instruction that saturated in the sample last ended; -1 none.
    int32_t saturatedInSample() const { return lastSampleSaturatedAt_; }
    // The operands (0x000-0x3FF) that samples can change as the last block
    // found the chip: the result registers of its microcode and the data
    // registers of its TRAM reads. layout() moves on whenever they change;
    // a reset leaves it, but samples() starts again from 0.
    const std::bitset<0x400>& changeable() const { return changeable_; }
    uint64_t layout() const { return layout_; }

  private:
    using Instruction = Fx8010Instruction;
    enum : uint8_t {
        kAccumulatorA = Instruction::kAccumulatorA,
        kAccumulatorX = Instruction::kAccumulatorX,
        kAccumulatorY = Instruction::kAccumulatorY,
        kReadsCodes = Instruction::kReadsCodes,
        kSkipping = Instruction::kSkipping,
    };

    // What a debugging run checks at an instruction.
    enum : uint8_t { kBreakHere = 1, kWatchedResult = 2 };

    // Registers are the shared words or a plain image (see the .cpp).
    template <class Registers>
    int RunOn(const Registers& registers, int samples, const DspBlockIo& io);
    template <class Registers>
    void RunSamples(const Registers& registers, int samples, const DspBlockIo& io);
    template <class Registers>
    DebugStop RunUntilOn(const Registers& registers, const DebugTargets& targets, int64_t samples,
                         bool passFirst);
    template <class Registers> void Decode(const Registers& registers);
    template <class Registers> void Pick(const Registers& registers);
    template <class Registers> void Put(const Registers& registers);
    void RunSample();
    // Sample i of the block's io, as the DSP stands.
    void KeepSample(const DspBlockIo& io, int i) const;
    void BeginSample();
    void EndSample();
    [[gnu::cold, gnu::noinline]] void TellObserver();
    // Runs instructions from pc_ until `end` (or a debug stop); pc_ follows.
    template <bool kDebug> void RunCode(uint32_t end);
    template <bool kAccumulator, bool kDebug> uint32_t RunMicrocode(uint32_t start, uint32_t end);
    // The fast engine from start until end (kWhole: the sample's end); stops
    // short only before a folded run that goes past end, which the caller
    // leaves to RunMicrocode.
    template <bool kAccumulator, bool kWhole> uint32_t RunFast(uint32_t start, uint32_t end);
    template <bool kAccumulator> uint32_t RunFastUntil(uint32_t start, uint32_t end);
    template <bool kAccumulator> uint32_t RunFastDebugging(uint32_t start, uint32_t end);
    uint32_t Codes() const { return fx8010::ResultCodes(codesResult_) | codesFlags_; }
    // The debug register after the DSP executed, unless the host rewrote it.
    template <class Registers>
    void ReportToDebugRegister(const Registers& registers, ApsChipWord pickedWord, uint32_t picked);

    // 0x000-0x3FF in the DSP's view, then a sink for writes that go nowhere.
    static constexpr uint16_t kSink = 0x400;
    std::array<int32_t, 0x401> mem_{};
    std::array<Instruction, kMicrocodeSize> code_{};
    // The microcode words code_ and fast_ were decoded from, and what they write.
    std::array<uint32_t, 2 * kMicrocodeSize> decodedWords_{};
    bool decoded_ = false;
    std::bitset<0x400> written_;
    fx8010::FastProgram fast_;
    // fast_ threaded for each of RunFast's four loops.
    fx8010::ThreadedProgram threaded_[4];
    Fx8010Engine engine_;
    // Whether any instruction reads the accumulator: when none does, the
    // interpreter saves itself keeping it. The condition codes are always
    // kept, for the debug register.
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
    std::array<uint32_t, 2 * kMicrocodeSize> microcodeCounts_{};
    ApsChipWord pickedDbg_ = 0;
    uint64_t picks_ = 0;
    fx8010::Accumulator acc_ = 0;
    uint32_t noise_ = 0x9E3779B9;
    // The sample under way: begun (inputs taken), and its next instruction.
    bool inSample_ = false;
    uint32_t pc_ = 0;
    uint64_t samples_ = 0;
    // The TRAM reads of the next sample happen as a sample ends, so that a
    // stopped chip's data registers already hold them; after Reset they wait.
    bool tramReadPending_ = true;
    // Debug register bit 31 as last picked: each sample that ends with it
    // leaves the delay base counter at zero.
    bool zeroCounter_ = false;
    // The first instruction that saturated since the DSP last reported; -1 none.
    int32_t saturatedAt_ = -1;
    // The first saturation of the sample under way, and of the one last ended.
    int32_t sampleSaturatedAt_ = -1, lastSampleSaturatedAt_ = -1;
    std::bitset<0x400> changeable_, lastChangeable_;
    uint64_t layout_ = 0;
    // A debugging run's targets, and what stopped it.
    std::array<uint8_t, kMicrocodeSize> stops_{};
    // The first address from each on that has a target (kMicrocodeSize: none).
    std::array<uint16_t, kMicrocodeSize + 1> nextStop_{};
    uint32_t passBreak_ = kMicrocodeSize;
    DebugCondition when_;
    bool breakOnSaturation_ = false;
    bool hit_ = false;
    DebugStop stop_;
    BusSource* busSource_ = nullptr;
    SampleObserver* observer_ = nullptr;
    bool testSignal_ = true;
    EffectsBusSignal signal_;
    TramEngine tram_;
};
