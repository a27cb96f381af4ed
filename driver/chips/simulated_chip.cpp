#include "simulated_chip.h"

#include <algorithm>
#include <stdexcept>

static_assert(kChipRegisterCount == APS_CHIP_REGISTER_COUNT);

SimulatedChip::SimulatedChip() : memory_(std::make_unique<SharedChipMemory>()) {}

ApsChipPorts SimulatedChip::Ports() {
    std::lock_guard lock(mutex_);
    return {&pointer_, memory_->chip()->registers, nullptr};
}

ChipHandout SimulatedChip::Handout() const {
    std::lock_guard lock(mutex_);
    ChipHandout handout;
    handout.kind = APS_CHIP_SIMULATED;
    handout.memoryFd = memory_->fd();
    return handout;
}

bool SimulatedChip::Reclaim() {
    std::unique_ptr<SharedChipMemory> fresh;
    try {
        fresh = std::make_unique<SharedChipMemory>();
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
    }
    return true; // the old memory goes here, outside the lock
}

void SimulatedChip::Load(const ChipImage& image) {
    std::lock_guard lock(mutex_);
    ApsChipWord* registers = memory_->chip()->registers;
    for (std::size_t i = 0; i < kChipRegisterCount; ++i)
        ApsWriteRegister(&registers[i], image.registers[i]);
    dsp_.Reset();
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
    return dsp_.Run(memory_->chip()->registers, samples, io);
}

int SimulatedChip::RunWithin(int samples, const DspBlockIo& io, std::chrono::microseconds wait) {
    std::unique_lock lock(mutex_, wait);
    if (!lock.owns_lock())
        return -1;
    return dsp_.Run(memory_->chip()->registers, samples, io);
}

void SimulatedChip::FeedBus(BusSource* source) {
    std::lock_guard lock(mutex_);
    dsp_.SetBusSource(source);
}

void SimulatedChip::Observe(SampleObserver* observer) {
    std::lock_guard lock(mutex_);
    dsp_.SetSampleObserver(observer);
}

bool SimulatedChip::Idle() {
    std::lock_guard lock(mutex_);
    return fx8010dbg::Idle(ApsLoadRegister(&memory_->chip()->registers[fx8010dbg::kRegister]));
}

uint32_t SimulatedChip::Read(uint32_t reg) {
    std::lock_guard lock(mutex_);
    return ApsLoadRegister(&memory_->chip()->registers[reg % kChipRegisterCount]);
}

// The debugger's writes are host writes: the DSP never undoes them.
SimulatedChip::Position SimulatedChip::Write(uint32_t reg, uint32_t value) {
    std::lock_guard lock(mutex_);
    ApsWriteRegister(&memory_->chip()->registers[reg % kChipRegisterCount], value);
    return {dsp_.samples(), dsp_.pc()};
}

void SimulatedChip::Stop() {
    std::lock_guard lock(mutex_);
    ApsChipWord* dbg = &memory_->chip()->registers[fx8010dbg::kRegister];
    ApsWriteRegister(dbg, ApsLoadRegister(dbg) | fx8010dbg::kSingleStep);
}

void SimulatedChip::Continue() {
    std::lock_guard lock(mutex_);
    ApsChipWord* dbg = &memory_->chip()->registers[fx8010dbg::kRegister];
    ApsWriteRegister(dbg, ApsLoadRegister(dbg) & ~(fx8010dbg::kSingleStep | fx8010dbg::kStep));
}

void SimulatedChip::Step(uint32_t address) {
    std::lock_guard lock(mutex_);
    ApsChipWord* registers = memory_->chip()->registers;
    ApsChipWord* dbg = &registers[fx8010dbg::kRegister];
    const uint32_t kept = ApsLoadRegister(dbg) & ~(fx8010dbg::kStep | fx8010dbg::kStepAddress);
    ApsWriteRegister(dbg, kept | fx8010dbg::kSingleStep | fx8010dbg::kStep |
                              (address & fx8010dbg::kStepAddress));
    dsp_.Run(registers, 0);
}

void SimulatedChip::Advance(int samples) {
    std::lock_guard lock(mutex_);
    dsp_.Advance(memory_->chip()->registers, samples);
}

DebugStop SimulatedChip::RunUntil(const DebugTargets& targets, int64_t samples) {
    // About 0.1 s of the chip at a time.
    constexpr int64_t kSlice = 4800;
    Stop();
    DebugStop stop;
    for (int64_t done = 0; done < samples; done += kSlice) {
        std::lock_guard lock(mutex_);
        stop = dsp_.RunUntil(memory_->chip()->registers, targets, std::min(kSlice, samples - done),
                             done == 0);
        if (stop.why != DebugStop::Why::Bound)
            break;
    }
    return stop;
}

SimulatedChip::Position SimulatedChip::position() {
    std::lock_guard lock(mutex_);
    return {dsp_.samples(), dsp_.pc()};
}
