#include "simulated_chip.h"

#include "host_write.h"
#include "program_swap.h"
#include "run_to.h"

#include <algorithm>
#include <stdexcept>
#include <thread>

static_assert(kChipRegisterCount == APS_CHIP_REGISTER_COUNT);
static_assert(fx8010dbg::kRegister == APS_DEBUG_REGISTER);

namespace {

// A host change of only the bits of clear and set in DBG, made in one swap on
// the word as it stands: a client's write that comes between the read and
// the swap is kept, and the change made afresh on it. seam, when set, runs
// there.
void ChangeDbg(ApsChipWord* registers, uint32_t clear, uint32_t set,
               const std::function<void()>& seam) {
    ApsChipWord* dbg = &registers[fx8010dbg::kRegister];
    ApsChipWord old = ApsLoadChipWord(dbg);
    do {
        if (seam)
            seam();
    } while (!ApsReplaceRegister(dbg, &old, (uint32_t(old) & ~clear) | set));
    ApsWakeHostWriteWaiters(dbg);
}

} // namespace

SimulatedChip::SimulatedChip()
    : memory_(std::make_shared<SharedChipMemory>()), memoryFd_(memory_->fd()) {}

ApsChipPorts SimulatedChip::Ports() {
    std::lock_guard lock(mutex_);
    return {&pointer_, memory_->chip()->registers, nullptr};
}

ChipHandout SimulatedChip::Handout() const {
    ChipHandout handout;
    handout.kind = APS_CHIP_SIMULATED;
    handout.memoryFd = memoryFd_;
    return handout;
}

bool SimulatedChip::Reclaim() {
    std::shared_ptr<SharedChipMemory> fresh;
    try {
        fresh = std::make_shared<SharedChipMemory>();
    } catch (const std::runtime_error&) {
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        const ApsChipWord* from = memory_->chip()->registers;
        ApsChipWord* to = fresh->chip()->registers;
        for (std::size_t i = 0; i < kChipRegisterCount; ++i)
            to[i] = ApsLoadChipWord(&from[i]);
        memory_.swap(fresh);
        memoryFd_ = memory_->fd();
    }
    // fresh now holds the old memory: a count moved on there sends a waiter
    // on it to the new one, even one that has not begun its wait yet.
    ChangeDbg(fresh->chip()->registers, 0, 0, {});
    return true; // the old memory goes here, outside the lock
}

void SimulatedChip::Load(const ChipImage& image) {
    SampleObservers observers;
    {
        std::lock_guard lock(mutex_);
        observers = observers_;
    }
    // Outside the lock, so the DSP runs on while the history takes its memory.
    observers.Loading(image);
    std::lock_guard lock(mutex_);
    ApsChipWord* registers = memory_->chip()->registers;
    for (std::size_t i = 0; i < kChipRegisterCount; ++i)
        ApsWriteRegister(&registers[i], image.registers[i]);
    dsp_.Reset();
    if (past_)
        past_->Restart(registers, dsp_, liveBus_ != nullptr);
    Attach();
    Counted(true);
    observers.Loaded();
}

bool SimulatedChip::Swap(const ChipImage& fresh, const StateCarry& carry) {
    std::lock_guard lock(mutex_);
    ApsChipWord* registers = memory_->chip()->registers;
    ChipImage running;
    for (std::size_t i = 0; i < kChipRegisterCount; ++i)
        running.registers[i] = ApsLoadRegister(&registers[i]);
    const ChipImage swapped = SwappedRegisters(running, fresh, carry);
    if (!dsp_.Carry(carry))
        return false;
    for (std::size_t i = 0; i < kChipRegisterCount; ++i)
        if (swapped.registers[i] != running.registers[i])
            ApsWriteRegister(&registers[i], swapped.registers[i]);
    if (past_) {
        // The past cannot replay a swap: it begins afresh at the new program,
        // and a future recorded beyond a chip standing back is gone.
        if (past_->Behind(Here()))
            observers_.Forked(dsp_.samples());
        past_->Restart(registers, dsp_, liveBus_ != nullptr);
        Attach();
    }
    observers_.Swapped(carry);
    return true;
}

ChipImage SimulatedChip::Snapshot() {
    std::lock_guard lock(mutex_);
    ChipImage image;
    const ApsChipWord* registers = memory_->chip()->registers;
    for (std::size_t i = 0; i < kChipRegisterCount; ++i)
        image.registers[i] = ApsLoadRegister(&registers[i]);
    return image;
}

int SimulatedChip::Run(int samples, const DspBlockIo& io) {
    std::lock_guard lock(mutex_);
    return RunLocked(samples, io);
}

int SimulatedChip::RunWithin(int samples, const DspBlockIo& io, std::chrono::microseconds wait) {
    std::unique_lock lock(mutex_, wait);
    if (!lock.owns_lock())
        return -1;
    return RunLocked(samples, io);
}

namespace {

// Sample `done` on of a block's io.
DspBlockIo From(const DspBlockIo& io, int64_t done) {
    DspBlockIo rest = io;
    if (rest.outputs)
        rest.outputs += done * DspBlockIo::kOutputs;
    if (rest.probed)
        rest.probed += done * rest.probeCount;
    return rest;
}

} // namespace

template <class F> auto SimulatedChip::Taken(F run) {
    ApsChipWord* shared = memory_->chip()->registers;
    // A client writes the shared registers whenever it likes. At the newest
    // the DSP runs on them, and the writes it picked up are logged where the
    // run began (Took). Replaying the past, it runs on a copy taken whole
    // and scanned: a write there forks the past, before the run.
    const bool copy = past_ && past_->Behind(Here());
    ApsChipWord* registers = shared;
    if (copy) {
        past_->MakeDue(shared, Here()); // into the take, never into the copy
        registers = taken_.Take(shared);
        Sync(registers);
    }
    const Position at = Here();
    // A step of another instruction than the next (DBG's step address, from
    // any client) takes a path no replay follows: the past begins after it.
    const uint32_t dbg = ApsLoadRegister(&registers[fx8010dbg::kRegister]);
    const bool leaps = past_ && fx8010dbg::Stopped(dbg) && (dbg & fx8010dbg::kStep) &&
                       fx8010dbg::StepAddress(dbg) != dsp_.pc();
    const uint64_t picks = dsp_.picked().picks;
    auto result = run(registers);
    if (copy)
        taken_.Give(shared);
    else if (past_)
        past_->Took(shared, dsp_, dsp_.picked().picks != picks, at);
    After(shared);
    if (leaps) {
        if (past_->Behind(Here()))
            observers_.Forked(dsp_.samples());
        past_->Restart(shared, dsp_, liveBus_ != nullptr);
        Attach();
    }
    return result;
}

int SimulatedChip::RunLocked(int samples, const DspBlockIo& io) {
    ApsChipWord* registers = memory_->chip()->registers;
    int ran = 0;
    // A stopped chip runs no samples, but maybe the step DBG asks for.
    if (!past_ || fx8010dbg::Stopped(ApsLoadRegister(&registers[fx8010dbg::kRegister]))) {
        ran = Taken([&](ApsChipWord* taken) { return dsp_.Run(taken, samples, io); });
    } else {
        ran = int(Forward(samples, [&](ApsChipWord* taken, int64_t n, int64_t done) {
            return dsp_.Run(taken, int(n), From(io, done));
        }));
    }
    Counted();
    return ran;
}

template <class F> int64_t SimulatedChip::Forward(int64_t samples, F run) {
    int64_t done = 0;
    while (done < samples) {
        constexpr int64_t kWithinTheSample = -1;
        const int64_t ran = Taken([&](ApsChipWord* registers) -> int64_t {
            const Position at = Here();
            int64_t n = samples - done;
            if (past_ && past_->Behind(at)) {
                const Position stop = past_->NextStop(at);
                if (stop.samples == at.samples) { // a write inside this sample
                    RunTo(dsp_, registers, stop);
                    return kWithinTheSample;
                }
                n = std::min<int64_t>(n, int64_t(stop.samples - at.samples));
            }
            return run(registers, n, done) == 0 ? 0 : n;
        });
        if (ran == 0)
            break;
        if (ran != kWithinTheSample)
            done += ran;
    }
    return done;
}

void SimulatedChip::Sync(ApsChipWord* registers) {
    if (!past_)
        return;
    if (!registers)
        registers = memory_->chip()->registers;
    if (past_->Sync(registers, Here())) {
        observers_.Forked(dsp_.samples());
        Attach();
    }
    past_->MakeDue(registers, Here());
}

void SimulatedChip::After(ApsChipWord* registers) {
    if (!past_)
        return;
    past_->MakeDue(registers, Here());
    past_->Ran(registers, dsp_);
    Attach();
}

// While the chip replays its past, its observers have heard it already.
void SimulatedChip::Attach() {
    dsp_.SetSampleObserver(past_ && past_->Behind(Here()) ? nullptr : observers_.Heard());
}

void SimulatedChip::FeedBus(BusSource* source) {
    std::lock_guard lock(mutex_);
    liveBus_ = source;
    if (!past_) {
        dsp_.SetBusSource(source);
        return;
    }
    // The past heard another source: it begins afresh here.
    recordedBus_->SetLive(source);
    dsp_.SetBusSource(source ? recordedBus_.get() : nullptr);
    past_->Restart(memory_->chip()->registers, dsp_, source != nullptr);
    Attach();
}

void SimulatedChip::Observe(SampleObserver* observer) {
    std::lock_guard lock(mutex_);
    observers_.Add(observer);
    Attach();
}

void SimulatedChip::Unobserve(SampleObserver* observer) {
    std::lock_guard lock(mutex_);
    observers_.Remove(observer);
    Attach();
}

void SimulatedChip::KeepPast(int64_t samples, int64_t interval) {
    std::lock_guard lock(mutex_);
    past_ = std::make_unique<ChipTimeline>(samples, interval);
    recordedBus_ = std::make_unique<RecordedBus>(dsp_, past_->frames());
    recordedBus_->SetLive(liveBus_);
    dsp_.SetBusSource(liveBus_ ? recordedBus_.get() : nullptr);
    past_->Restart(memory_->chip()->registers, dsp_, liveBus_ != nullptr);
    Attach();
}

std::optional<SimulatedChip::Past> SimulatedChip::past() {
    std::lock_guard lock(mutex_);
    if (!past_)
        return std::nullopt;
    Sync();
    return Past{past_->oldest(), past_->newest(), past_->lastFork(), past_->bytes(),
                past_->states()};
}

// Under the lock: the served chip becomes the rebuilt one, stopped.
void SimulatedChip::TakeRebuilt(RebuiltChip& chip) {
    ApsChipWord* registers = memory_->chip()->registers;
    uint32_t& dbg = chip.registers.registers[fx8010dbg::kRegister];
    dbg = (dbg | fx8010dbg::kSingleStep) & ~fx8010dbg::kStep;
    // As the DSP writes: a client's write meanwhile stays, and is the
    // past's next host write, here.
    for (std::size_t i = 0; i < kChipRegisterCount; ++i)
        if (const ApsChipWord word = ApsLoadChipWord(&registers[i]);
            uint32_t(word) != chip.registers.registers[i])
            ApsPutRegister(&registers[i], word, chip.registers.registers[i]);
    std::swap(dsp_, chip.dsp);
    dsp_.SetBusSource(liveBus_ ? recordedBus_.get() : nullptr);
    past_->Moved(registers, Here());
    Attach();
    Counted(true);
    ApsWakeHostWriteWaiters(&registers[fx8010dbg::kRegister]);
}

bool SimulatedChip::GoTo(Position to) {
    std::lock_guard lock(mutex_);
    if (!past_)
        return false;
    Sync();
    std::unique_ptr<RebuiltChip> chip = past_->Rebuild(to);
    if (!chip || PositionOf(chip->dsp) != to)
        return false;
    TakeRebuilt(*chip);
    return true;
}

bool SimulatedChip::StepBack() {
    std::lock_guard lock(mutex_);
    if (!past_)
        return false;
    Sync();
    std::unique_ptr<RebuiltChip> chip = past_->InstructionBefore(Here());
    if (!chip)
        return false;
    TakeRebuilt(*chip);
    return true;
}

std::optional<DebugStop> SimulatedChip::RunBack(const DebugTargets& targets) {
    std::lock_guard lock(mutex_);
    if (!past_)
        return std::nullopt;
    Sync();
    const std::optional<ChipTimeline::Found> found = past_->LastStopBefore(Here(), targets);
    std::unique_ptr<RebuiltChip> chip = found ? past_->Rebuild(found->after) : nullptr;
    if (!chip || PositionOf(chip->dsp) != found->after)
        return std::nullopt;
    TakeRebuilt(*chip);
    return found->stop;
}

std::unique_ptr<Fx8010Interpreter> SimulatedChip::CopyDsp() {
    std::lock_guard lock(mutex_);
    return std::make_unique<Fx8010Interpreter>(dsp_);
}

bool SimulatedChip::Idle() {
    std::lock_guard lock(mutex_);
    const bool idle =
        fx8010dbg::Idle(ApsLoadRegister(&memory_->chip()->registers[fx8010dbg::kRegister]));
    if (idle)
        Counted(); // a look that sees nothing run
    return idle;
}

uint32_t SimulatedChip::Read(uint32_t reg) {
    std::lock_guard lock(mutex_);
    return ApsLoadRegister(&memory_->chip()->registers[reg % kChipRegisterCount]);
}

// The debugger's writes are host writes: the DSP never undoes them.
SimulatedChip::Position SimulatedChip::Write(uint32_t reg, uint32_t value) {
    std::lock_guard lock(mutex_);
    ApsHostWrite(memory_->chip()->registers, reg % kChipRegisterCount, value);
    Sync(); // into the past at once, forking it if the chip stands there
    return Here();
}

void SimulatedChip::Stop() {
    std::lock_guard lock(mutex_);
    ChangeDbg(memory_->chip()->registers, 0, fx8010dbg::kSingleStep, dbgSeam_);
    Counted(true);
}

void SimulatedChip::Continue() {
    std::lock_guard lock(mutex_);
    ChangeDbg(memory_->chip()->registers, fx8010dbg::kSingleStep | fx8010dbg::kStep, 0, dbgSeam_);
    Counted(true);
}

void SimulatedChip::ClearSaturation() {
    std::lock_guard lock(mutex_);
    ChangeDbg(memory_->chip()->registers, fx8010dbg::kSaturated | fx8010dbg::kSaturationAddress, 0,
              dbgSeam_);
    Sync();
}

void SimulatedChip::Step(uint32_t address) {
    std::lock_guard lock(mutex_);
    ApsChipWord* registers = memory_->chip()->registers;
    ChangeDbg(registers, fx8010dbg::kStep | fx8010dbg::kStepAddress,
              fx8010dbg::kSingleStep | fx8010dbg::kStep | (address & fx8010dbg::kStepAddress),
              dbgSeam_);
    Taken([&](ApsChipWord* taken) { return dsp_.Run(taken, 0); });
    Counted();
}

void SimulatedChip::SetDbgChangeSeam(std::function<void()> seam) {
    std::lock_guard lock(mutex_);
    dbgSeam_ = std::move(seam);
}

int64_t SimulatedChip::Advance(int64_t samples, const std::function<bool()>& cancelled) {
    int64_t done = 0;
    while (done < samples && !(cancelled && cancelled())) {
        mutex_.LetWaitersIn();
        std::lock_guard lock(mutex_);
        done += Forward(std::min<int64_t>(kDebugSlice, samples - done),
                        [&](ApsChipWord* registers, int64_t n, int64_t) {
                            dsp_.Advance(registers, int(n));
                            return n;
                        });
        Counted();
    }
    return std::min(done, samples);
}

DebugStop SimulatedChip::RunUntil(const DebugTargets& targets, int64_t samples,
                                  const std::function<bool()>& cancelled) {
    constexpr int64_t kSlice = kDebugSlice;
    Stop();
    DebugStop stop;
    const uint64_t from = position().samples;
    bool passFirst = true;
    for (int64_t done = 0; done < samples;) {
        if (cancelled && cancelled())
            break;
        mutex_.LetWaitersIn();
        std::lock_guard lock(mutex_);
        stop = Taken([&](ApsChipWord* registers) {
            int64_t bound = std::min(kSlice, samples - done);
            // In the past, a leg ends at the next write to make again: one
            // inside this sample with a break of its own there.
            DebugTargets leg;
            const DebugTargets* run = &targets;
            std::optional<uint32_t> legBreak;
            if (past_ && past_->Behind(Here())) {
                const Position next = past_->NextStop(Here());
                if (next.samples > Here().samples) {
                    bound = std::min<int64_t>(bound, int64_t(next.samples - Here().samples));
                } else if (std::find(targets.breaks.begin(), targets.breaks.end(), next.pc) ==
                           targets.breaks.end()) {
                    leg = targets;
                    leg.breaks.push_back(next.pc);
                    run = &leg;
                    legBreak = next.pc;
                    bound = 1;
                }
            }
            DebugStop ended = dsp_.RunUntil(registers, *run, bound, passFirst);
            if (legBreak && ended.why == DebugStop::Why::Break && ended.address == *legBreak)
                ended.why = DebugStop::Why::Bound;
            return ended;
        });
        passFirst = false;
        Counted();
        done = int64_t(dsp_.samples() - from);
        if (stop.why != DebugStop::Why::Bound)
            break;
    }
    return stop;
}

double SimulatedChip::RunFactor() {
    std::lock_guard lock(mutex_);
    return rate_.Factor(now_());
}

void SimulatedChip::SetClock(std::function<RunRate::Clock::time_point()> now) {
    std::lock_guard lock(mutex_);
    now_ = std::move(now);
}

void SimulatedChip::Counted(bool stood) {
    if (stood)
        rate_.Stood(dsp_.samples());
    else
        rate_.Ran(dsp_.samples(), now_());
}

SimulatedChip::Position SimulatedChip::position() {
    std::lock_guard lock(mutex_);
    return {dsp_.samples(), dsp_.pc()};
}

std::vector<int16_t> SimulatedChip::TramSamples(bool external, uint32_t first, uint32_t count,
                                                uint32_t* size) {
    std::lock_guard lock(mutex_);
    const std::vector<int16_t>& pool = dsp_.tram().pool(external);
    *size = uint32_t(pool.size());
    if (first >= pool.size())
        return {};
    const auto from = pool.begin() + first;
    return {from, from + std::min<std::size_t>(count, pool.size() - first)};
}

void SimulatedChip::ServeDebugRegister(std::chrono::milliseconds limit,
                                       const std::atomic<bool>& stop) {
    // A wake without a write is a stop or a holder's mischief: the next look
    // comes after this pause, not at the next wake, so a holder that spams
    // wakes costs at most one look per pause and a write is still seen in time.
    constexpr std::chrono::microseconds kPauseAfterAnEmptyWake(500);
    std::shared_ptr<SharedChipMemory> memory;
    ApsChipWord seen = 0;
    {
        std::lock_guard lock(mutex_);
        memory = memory_;
        ApsChipWord* registers = memory->chip()->registers;
        // Taken before the step: a host write during it ends the wait at once.
        seen = ApsLoadChipWord(&registers[fx8010dbg::kRegister]);
        const uint32_t dbg = uint32_t(seen);
        if (fx8010dbg::Stopped(dbg) && (dbg & fx8010dbg::kStep))
            Taken([&](ApsChipWord* taken) { return dsp_.Run(taken, 0); });
    }
    const ApsChipWord* dbg = &memory->chip()->registers[fx8010dbg::kRegister];
    const auto giveUp = std::chrono::steady_clock::now() + limit;
    while (!stop.load()) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(giveUp - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return;
        ApsAwaitHostWrite(dbg, seen, int(left.count()));
        if ((ApsLoadChipWord(dbg) >> 32) != (seen >> 32) || stop.load())
            return;
        std::this_thread::sleep_for(kPauseAfterAnEmptyWake);
    }
}

void SimulatedChip::WakeDebugWaiter() {
    std::lock_guard lock(mutex_);
    ApsWakeHostWriteWaiters(&memory_->chip()->registers[fx8010dbg::kRegister]);
}
