#include "simulated_chip.h"

#include "host_write.h"

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
    Counted(true);
    observers.Loaded();
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
    const int ran = dsp_.Run(memory_->chip()->registers, samples, io);
    Counted();
    return ran;
}

int SimulatedChip::RunWithin(int samples, const DspBlockIo& io, std::chrono::microseconds wait) {
    std::unique_lock lock(mutex_, wait);
    if (!lock.owns_lock())
        return -1;
    const int ran = dsp_.Run(memory_->chip()->registers, samples, io);
    Counted();
    return ran;
}

void SimulatedChip::FeedBus(BusSource* source) {
    std::lock_guard lock(mutex_);
    dsp_.SetBusSource(source);
}

void SimulatedChip::Observe(SampleObserver* observer) {
    std::lock_guard lock(mutex_);
    observers_.Add(observer);
    dsp_.SetSampleObserver(observers_.Heard());
}

void SimulatedChip::Unobserve(SampleObserver* observer) {
    std::lock_guard lock(mutex_);
    observers_.Remove(observer);
    dsp_.SetSampleObserver(observers_.Heard());
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
    return {dsp_.samples(), dsp_.pc()};
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
}

void SimulatedChip::Step(uint32_t address) {
    std::lock_guard lock(mutex_);
    ApsChipWord* registers = memory_->chip()->registers;
    ChangeDbg(registers, fx8010dbg::kStep | fx8010dbg::kStepAddress,
              fx8010dbg::kSingleStep | fx8010dbg::kStep | (address & fx8010dbg::kStepAddress),
              dbgSeam_);
    dsp_.Run(registers, 0);
    Counted();
}

void SimulatedChip::SetDbgChangeSeam(std::function<void()> seam) {
    std::lock_guard lock(mutex_);
    dbgSeam_ = std::move(seam);
}

int64_t SimulatedChip::Advance(int64_t samples, const std::function<bool()>& cancelled) {
    int64_t done = 0;
    for (; done < samples && !(cancelled && cancelled()); done += kDebugSlice) {
        mutex_.LetWaitersIn();
        std::lock_guard lock(mutex_);
        dsp_.Advance(memory_->chip()->registers,
                     int(std::min<int64_t>(kDebugSlice, samples - done)));
        Counted();
    }
    return std::min(done, samples);
}

DebugStop SimulatedChip::RunUntil(const DebugTargets& targets, int64_t samples,
                                  const std::function<bool()>& cancelled) {
    constexpr int64_t kSlice = kDebugSlice;
    Stop();
    DebugStop stop;
    for (int64_t done = 0; done < samples; done += kSlice) {
        if (cancelled && cancelled())
            break;
        mutex_.LetWaitersIn();
        std::lock_guard lock(mutex_);
        stop = dsp_.RunUntil(memory_->chip()->registers, targets, std::min(kSlice, samples - done),
                             done == 0);
        Counted();
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
            dsp_.Run(registers, 0);
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
