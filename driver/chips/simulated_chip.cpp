#include "simulated_chip.h"

static_assert(kChipRegisterCount == APS_CHIP_REGISTER_COUNT);

ApsChipPorts SimulatedChip::Ports() {
    ApsSharedChip* chip = memory_.chip();
    return {&chip->pointer, chip->registers, nullptr};
}

ChipHandout SimulatedChip::Handout() const {
    ChipHandout handout;
    handout.kind = APS_CHIP_SIMULATED;
    handout.memoryFd = memory_.fd();
    return handout;
}

void SimulatedChip::Load(const ChipImage& image) {
    std::lock_guard lock(mutex_);
    uint32_t* registers = memory_.chip()->registers;
    for (std::size_t i = 0; i < kChipRegisterCount; ++i)
        ApsStoreWord(&registers[i], image.registers[i]);
    dsp_.Reset();
}

ChipImage SimulatedChip::Snapshot() {
    std::lock_guard lock(mutex_);
    ChipImage image;
    const uint32_t* registers = memory_.chip()->registers;
    for (std::size_t i = 0; i < kChipRegisterCount; ++i)
        image.registers[i] = ApsLoadWord(&registers[i]);
    return image;
}

void SimulatedChip::Run(int samples, const DspBlockIo& io) {
    std::lock_guard lock(mutex_);
    dsp_.Run(memory_.chip()->registers, samples, io);
}
