#include "fx8010_interpreter.h"

#include "aps_shared_chip.h"
#include "emu10k1_words.h"

#include <algorithm>
#include <atomic>

namespace {

constexpr uint32_t kConstantValues[] = {
    0x00000000, 0x00000001, 0x00000002, 0x00000003, 0x00000004, 0x00000008, 0x00000010, 0x00000020,
    0x00000100, 0x00010000, 0x00080000, 0x10000000, 0x20000000, 0x40000000, 0x80000000, 0x7FFFFFFF,
    0xFFFFFFFF, 0xFFFFFFFE, 0xC0000000, 0x4F1BBCDC, 0x5A7EF9DB, 0x00100000};

// Below a TRAM address register's address, the fraction only the DSP sees.
constexpr uint32_t kFractionMask = 0x7FF;

// A chip image that only the DSP touches while it runs.
struct ImageRegisters {
    uint32_t* words;
    uint32_t Value(uint32_t reg) const { return words[reg]; }
    uint32_t Pick(uint32_t reg, ApsChipWord*) const { return words[reg]; }
    ApsChipWord Word(uint32_t reg) const { return words[reg]; }
    void Put(uint32_t reg, ApsChipWord, uint32_t value) const { words[reg] = value; }
};

// Registers shared with the host, which writes them meanwhile.
struct SharedRegisters {
    ApsChipWord* words;
    uint32_t Value(uint32_t reg) const { return ApsLoadRegister(&words[reg]); }
    uint32_t Pick(uint32_t reg, ApsChipWord* picked) const {
        *picked = ApsLoadChipWord(&words[reg]);
        return uint32_t(*picked);
    }
    ApsChipWord Word(uint32_t reg) const { return ApsLoadChipWord(&words[reg]); }
    void Put(uint32_t reg, ApsChipWord picked, uint32_t value) const {
        ApsPutRegister(&words[reg], picked, value);
    }
};

std::atomic<Fx8010Engine> defaultEngine = Fx8010Engine::kFast;

} // namespace

static_assert(BusSource::kBusInputs ==
              Fx8010Interpreter::kExternalInputs - Fx8010Interpreter::kEffectsBus);
static_assert(DspBlockIo::kOutputs == Fx8010Interpreter::kConstants - Fx8010Interpreter::kOutputs);

Fx8010Interpreter::Fx8010Interpreter() : engine_(defaultEngine.load()) {
    Reset();
}

void Fx8010Interpreter::SetDefaultEngine(Fx8010Engine engine) {
    defaultEngine.store(engine);
}

void Fx8010Interpreter::Reset() {
    mem_.fill(0);
    for (std::size_t i = 0; i < std::size(kConstantValues); ++i)
        mem_[kConstants + i] = int32_t(kConstantValues[i]);
    addressFraction_.fill(0);
    acc_ = 0;
    codesResult_ = 0;
    codesFlags_ = 0;
    tram_.Clear();
    inSample_ = false;
    pc_ = 0;
    samples_ = 0;
    tramReadPending_ = true;
    saturatedAt_ = -1;
    sampleSaturatedAt_ = lastSampleSaturatedAt_ = -1;
}

bool Fx8010Interpreter::Carry(const StateCarry& carry) {
    if (inSample_)
        return false;
    tram_.Carry(carry.moves, carry.silenced);
    std::array<uint16_t, 256> fraction{}; // a new address starts on a whole sample
    for (const auto& [from, to] : carry.registers)
        if (from >= kTramAddress && from < 0x400 && to >= kTramAddress && to < 0x400)
            fraction[to - kTramAddress] = addressFraction_[from - kTramAddress];
    addressFraction_ = fraction;
    tramReadPending_ = true;
    return true;
}

int Fx8010Interpreter::Run(ApsChipWord* registers, int samples, const DspBlockIo& io) {
    return RunOn(SharedRegisters{registers}, samples, io);
}

int Fx8010Interpreter::Run(ChipImage& chip, int samples, const DspBlockIo& io) {
    return RunOn(ImageRegisters{chip.registers.data()}, samples, io);
}

void Fx8010Interpreter::Advance(ApsChipWord* registers, int samples) {
    RunSamples(SharedRegisters{registers}, samples, {});
}

void Fx8010Interpreter::Advance(ChipImage& chip, int samples) {
    RunSamples(ImageRegisters{chip.registers.data()}, samples, {});
}

DebugStop Fx8010Interpreter::RunUntil(ApsChipWord* registers, const DebugTargets& targets,
                                      int64_t samples, bool passFirst) {
    return RunUntilOn(SharedRegisters{registers}, targets, samples, passFirst);
}

DebugStop Fx8010Interpreter::RunUntil(ChipImage& chip, const DebugTargets& targets, int64_t samples,
                                      bool passFirst) {
    return RunUntilOn(ImageRegisters{chip.registers.data()}, targets, samples, passFirst);
}

template <class Registers>
int Fx8010Interpreter::RunOn(const Registers& registers, int samples, const DspBlockIo& io) {
    ApsChipWord dbgWord = 0;
    const uint32_t dbg = registers.Pick(fx8010dbg::kRegister, &dbgWord);
    pickedDbg_ = dbgWord;
    if (!fx8010dbg::Stopped(dbg)) {
        RunSamples(registers, samples, io);
        return samples;
    }
    zeroCounter_ = (dbg & fx8010dbg::kZeroCounter) != 0;
    // Between samples the next one's reads are redone at the zeroed counter.
    if (zeroCounter_ && !inSample_ && tram_.counter() != 0) {
        tram_.ZeroCounter();
        tramReadPending_ = true;
    }
    if (dbg & fx8010dbg::kStep) {
        Decode(registers);
        Pick(registers);
        if (!inSample_)
            BeginSample();
        pc_ = fx8010dbg::StepAddress(dbg);
        RunCode<false>(pc_ + 1);
        if (pc_ == kMicrocodeSize)
            EndSample();
        Put(registers);
        ReportToDebugRegister(registers, dbgWord, dbg);
    }
    for (int i = 0; i < samples; ++i)
        KeepSample(io, i);
    return 0;
}

template <class Registers>
void Fx8010Interpreter::RunSamples(const Registers& registers, int samples, const DspBlockIo& io) {
    ApsChipWord dbgWord = 0;
    const uint32_t dbg = registers.Pick(fx8010dbg::kRegister, &dbgWord);
    pickedDbg_ = dbgWord;
    zeroCounter_ = (dbg & fx8010dbg::kZeroCounter) != 0;
    Decode(registers);
    Pick(registers);
    for (int i = 0; i < samples; ++i) {
        RunSample();
        KeepSample(io, i);
    }
    Put(registers);
    ReportToDebugRegister(registers, dbgWord, dbg);
}

template <class Registers>
DebugStop Fx8010Interpreter::RunUntilOn(const Registers& registers, const DebugTargets& targets,
                                        int64_t samples, bool passFirst) {
    ApsChipWord dbgWord = 0;
    const uint32_t dbg = registers.Pick(fx8010dbg::kRegister, &dbgWord);
    pickedDbg_ = dbgWord;
    zeroCounter_ = (dbg & fx8010dbg::kZeroCounter) != 0;
    Decode(registers);
    Pick(registers);
    for (uint32_t address : targets.breaks)
        if (address < kMicrocodeSize)
            stops_[address] |= kBreakHere;
    for (uint32_t i = 0; i < kMicrocodeSize; ++i)
        for (uint32_t reg : targets.watches)
            if (code_[i].r == reg)
                stops_[i] |= kWatchedResult;
    nextStop_[kMicrocodeSize] = kMicrocodeSize;
    for (uint32_t i = kMicrocodeSize; i-- > 0;)
        nextStop_[i] = stops_[i] ? uint16_t(i) : nextStop_[i + 1];
    passBreak_ = passFirst ? pc_ : kMicrocodeSize;
    when_ = targets.when;
    breakOnSaturation_ = targets.saturation;
    hit_ = false;
    stop_ = {};
    for (int64_t ended = 0; !hit_ && ended < samples;) {
        if (!inSample_)
            BeginSample();
        RunCode<true>(kMicrocodeSize);
        if (pc_ >= kMicrocodeSize) {
            EndSample();
            ++ended;
        }
    }
    stops_.fill(0);
    Put(registers);
    ReportToDebugRegister(registers, dbgWord, dbg);
    return stop_;
}

// A host write to the debug register since the pick wins over the report.
template <class Registers>
void Fx8010Interpreter::ReportToDebugRegister(const Registers& registers, ApsChipWord pickedWord,
                                              uint32_t picked) {
    const uint32_t report = fx8010dbg::AfterExecuting(picked, Codes(), pc_, saturatedAt_);
    if (report != picked)
        registers.Put(fx8010dbg::kRegister, pickedWord, report);
    // A saturation the host has not yet seen waits for the next report.
    if (report == picked || registers.Value(fx8010dbg::kRegister) == report)
        saturatedAt_ = -1;
}

int32_t Fx8010Interpreter::Operand(uint32_t address) const {
    address &= 0x3FF;
    if (address == kAccumulator)
        return int32_t(uint32_t(static_cast<unsigned __int128>(acc_)));
    return mem_[address];
}

// The host may rewrite the microcode at any time; what was decoded from the
// words is kept while they stay the same.
template <class Registers> void Fx8010Interpreter::Decode(const Registers& registers) {
    std::array<uint32_t, 2 * kMicrocodeSize> words;
    for (uint32_t i = 0; i < words.size(); ++i) {
        const ApsChipWord word = registers.Word(kMicrocodeBase + i);
        words[i] = uint32_t(word);
        microcodeCounts_[i] = uint32_t(word >> 32);
    }
    if (decoded_ && words == decodedWords_) {
        changeable_ = written_;
        return;
    }
    decodedWords_ = words;
    decoded_ = true;
    accumulatorRead_ = false;
    std::bitset<0x400> written;
    for (int i = 0; i < kMicrocodeSize; ++i) {
        Fx8010Fields f = Fx8010UnpackInstruction({words[2 * i], words[2 * i + 1]});
        Instruction& in = code_[i];
        in.op = uint8_t(f.opcode);
        in.a = uint16_t(f.a);
        in.x = uint16_t(f.x);
        in.y = uint16_t(f.y);
        bool readsCodes =
            in.a == kConditionCodes || in.x == kConditionCodes || in.y == kConditionCodes;
        in.special =
            uint8_t((in.a == kAccumulator ? kAccumulatorA : 0) |
                    (in.x == kAccumulator ? kAccumulatorX : 0) |
                    (in.y == kAccumulator ? kAccumulatorY : 0) | (readsCodes ? kReadsCodes : 0) |
                    (in.op == fx8010::kSkip ? kSkipping : 0));
        accumulatorRead_ |= (in.special & (kAccumulatorA | kAccumulatorX | kAccumulatorY)) != 0;
        uint16_t r = uint16_t(f.r);
        // Constants, the accumulator, the condition codes, noise, the delay
        // base counter and the unused addresses ignore writes.
        bool writable = r < kConstants || r == kInterrupt || r >= kGprs;
        in.r = writable ? r : kSink;
        if (writable)
            written.set(r);
        in.writeMask = Instruction::WriteMask(r);
    }
    written_ = changeable_ = written;
    fast_.Build(code_, mem_.data());
}

template <class Registers> void Fx8010Interpreter::Pick(const Registers& registers) {
    ++picks_;
    for (uint32_t i = 0; i < picked_.size(); ++i)
        picked_[i] = registers.Pick(kGprs + i, &pickedWords_[i]);
    const uint32_t* gprs = picked_.data();
    const uint32_t* data = gprs + (kTramData - kGprs);
    const uint32_t* address = gprs + (kTramAddress - kGprs);
    for (uint32_t i = 0; i < 0x100; ++i) {
        mem_[kGprs + i] = int32_t(gprs[i]);
        mem_[kTramData + i] = int32_t(data[i] << 12);
        mem_[kTramAddress + i] =
            int32_t(((address[i] & TramEngine::kAddressMask) << 11) | addressFraction_[i]);
    }
    tram_.Configure(address);
    // Decode has just set the microcode's part of changeable_.
    tram_.ForEachRead([this](uint32_t reg) { changeable_.set(kTramData + reg); });
    if (changeable_ != lastChangeable_) {
        lastChangeable_ = changeable_;
        ++layout_;
    }
}

// Only what the block changed goes back, and only where the host has not
// written since the pick: the host's write is the newer one, even when it
// wrote the very value picked up.
template <class Registers> void Fx8010Interpreter::Put(const Registers& registers) {
    auto put = [&](uint32_t reg, uint32_t value) {
        if (value != picked_[reg - kGprs])
            registers.Put(reg, pickedWords_[reg - kGprs], value);
    };
    for (uint32_t i = 0; i < 0x100; ++i) {
        put(kGprs + i, uint32_t(mem_[kGprs + i]));
        put(kTramData + i, uint32_t(mem_[kTramData + i]) >> 12);
        uint32_t address = uint32_t(mem_[kTramAddress + i]);
        uint32_t flags = picked_[kTramAddress + i - kGprs] & ~TramEngine::kAddressMask;
        put(kTramAddress + i, flags | ((address >> 11) & TramEngine::kAddressMask));
        addressFraction_[i] = uint16_t(address & kFractionMask);
    }
}

void Fx8010Interpreter::RunSample() {
    if (!inSample_)
        BeginSample();
    RunCode<false>(kMicrocodeSize);
    EndSample();
}

void Fx8010Interpreter::KeepSample(const DspBlockIo& io, int i) const {
    if (io.outputs)
        std::copy_n(mem_.data() + kOutputs, DspBlockIo::kOutputs,
                    io.outputs + i * DspBlockIo::kOutputs);
    if (io.probed)
        for (int k = 0; k < io.probeCount; ++k)
            io.probed[i * io.probeCount + k] = mem_[io.probes[k] & 0x3FF];
}

void Fx8010Interpreter::BeginSample() {
    int32_t* m = mem_.data();
    if (busSource_)
        busSource_->Read(m + kEffectsBus, 1);
    else if (testSignal_)
        signal_.Next(m + kEffectsBus);
    else
        std::fill(m + kEffectsBus, m + kExternalInputs, 0);
    std::fill(m + kExternalInputs, m + kOutputs, 0); // no outside sources
    m[kNoiseDelayed] = m[kNoise];
    noise_ ^= noise_ << 13;
    noise_ ^= noise_ >> 17;
    noise_ ^= noise_ << 5;
    m[kNoise] = int32_t(noise_);
    m[kDelayBase] = int32_t(tram_.counter() << 11);
    if (tramReadPending_)
        tram_.Read(m + kTramData, m + kTramAddress);
    tramReadPending_ = false;
    sampleSaturatedAt_ = -1;
    inSample_ = true;
}

void Fx8010Interpreter::EndSample() {
    int32_t* m = mem_.data();
    tram_.Write(m + kTramData, m + kTramAddress);
    tram_.Advance();
    if (zeroCounter_) [[unlikely]]
        tram_.ZeroCounter();
    tram_.Read(m + kTramData, m + kTramAddress);
    inSample_ = false;
    pc_ = 0;
    ++samples_;
    lastSampleSaturatedAt_ = sampleSaturatedAt_;
    if (observer_) [[unlikely]]
        TellObserver();
}

// Out of the sample's way, so that running without an observer costs a test.
void Fx8010Interpreter::TellObserver() {
    observer_->SampleEnded(*this);
}

template <bool kDebug> void Fx8010Interpreter::RunCode(uint32_t end) {
    if (engine_ == Fx8010Engine::kReference)
        pc_ = accumulatorRead_ ? RunMicrocode<true, kDebug>(pc_, end)
                               : RunMicrocode<false, kDebug>(pc_, end);
    else if constexpr (kDebug)
        pc_ =
            accumulatorRead_ ? RunFastDebugging<true>(pc_, end) : RunFastDebugging<false>(pc_, end);
    else
        pc_ = accumulatorRead_ ? RunFastUntil<true>(pc_, end) : RunFastUntil<false>(pc_, end);
    pc_ = std::min<uint32_t>(pc_, kMicrocodeSize);
}

// Returns where it stopped: kMicrocodeSize or beyond when the sample's code is done.
template <bool kAccumulator, bool kDebug>
uint32_t Fx8010Interpreter::RunMicrocode(uint32_t start, uint32_t end) {
    using namespace fx8010;
    constexpr uint32_t kKeptFlags = kCcSaturated | kCcBorrow;
    int32_t* m = mem_.data();
    Accumulator acc = acc_;
    int32_t lastResult = codesResult_;
    uint32_t lastFlags = codesFlags_;
    int32_t saturatedAt = saturatedAt_;
    int32_t sampleSaturatedAt = sampleSaturatedAt_;
    uint32_t pc = start;
    while (pc < end) {
        const Instruction& in = code_[pc];
        if constexpr (kDebug) {
            if (stops_[pc] & kBreakHere) [[unlikely]] {
                if (pc != passBreak_) {
                    hit_ = true;
                    stop_ = {DebugStop::Why::Break, pc, 0, 0, 0, samples_};
                    break;
                }
                passBreak_ = kMicrocodeSize;
            }
        }
        if (in.special & kReadsCodes) [[unlikely]]
            m[kConditionCodes] = int32_t(ResultCodes(lastResult) | lastFlags);
        const int32_t before = m[in.r];
        int32_t a = m[in.a], x = m[in.x], y = m[in.y];
        uint32_t next = pc + 1;
        bool skipping = false;
        if (in.special) [[unlikely]] {
            if (kAccumulator && (in.special & (kAccumulatorA | kAccumulatorX | kAccumulatorY))) {
                int32_t value = AccumulatorOperand(acc, in.op);
                if (in.special & kAccumulatorA)
                    a = value;
                if (in.special & kAccumulatorX)
                    x = value;
                if (in.special & kAccumulatorY)
                    y = value;
            }
            skipping = (in.special & kSkipping) != 0;
        }
        if (skipping) [[unlikely]] {
            // R receives A's codes; the condition code register keeps its own.
            m[in.r] = int32_t(uint32_t(a) & in.writeMask);
            if (SkipTestHolds(uint32_t(x), uint32_t(a) & kCcMask))
                next += std::min<uint32_t>(uint32_t(y), kMicrocodeSize);
        } else {
            // The other codes come from the last result when read.
            AluResult result = Execute<kAccumulator, false>(in.op, a, x, y, acc);
            m[in.r] = int32_t(uint32_t(result.r) & in.writeMask);
            lastResult = result.r;
            lastFlags = result.cc & kKeptFlags;
            if ((lastFlags & kCcSaturated) && (sampleSaturatedAt < 0 || saturatedAt < 0))
                [[unlikely]] {
                if (sampleSaturatedAt < 0)
                    sampleSaturatedAt = int32_t(pc);
                if (saturatedAt < 0)
                    saturatedAt = int32_t(pc);
            }
        }
        if constexpr (kDebug) {
            if ((stops_[pc] & kWatchedResult) && when_.Met(before, m[in.r])) [[unlikely]] {
                hit_ = true;
                stop_ = {DebugStop::Why::Watch, pc, in.r, before, m[in.r], samples_};
                pc = next;
                break;
            }
            // A SKIP computes nothing; the codes it leaves are an earlier one's.
            if (breakOnSaturation_ && !skipping && (lastFlags & kCcSaturated)) [[unlikely]] {
                hit_ = true;
                stop_ = {DebugStop::Why::Saturation, pc, in.r, before, m[in.r], samples_};
                pc = next;
                break;
            }
        }
        pc = next;
    }
    m[kConditionCodes] = int32_t(ResultCodes(lastResult) | lastFlags);
    codesResult_ = lastResult;
    codesFlags_ = lastFlags;
    saturatedAt_ = saturatedAt;
    sampleSaturatedAt_ = sampleSaturatedAt;
    acc_ = acc;
    return pc;
}

// The fast engine (fx8010_fast_run.cpp) hands it what it does not do itself.
template uint32_t Fx8010Interpreter::RunMicrocode<true, false>(uint32_t, uint32_t);
template uint32_t Fx8010Interpreter::RunMicrocode<false, false>(uint32_t, uint32_t);
template uint32_t Fx8010Interpreter::RunMicrocode<true, true>(uint32_t, uint32_t);
template uint32_t Fx8010Interpreter::RunMicrocode<false, true>(uint32_t, uint32_t);
