#include "simulated_chip.h"

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

void SimulatedChip::Run(int samples, const DspBlockIo& io) {
    std::lock_guard lock(mutex_);
    dsp_.Run(memory_->chip()->registers, samples, io);
}
