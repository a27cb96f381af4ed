#include "simulated_chip.h"

#include "aps_request.h"

uint32_t SimulatedChip::PortRead(uint16_t port) {
    if (port == APS_PORT_POINTER)
        return pointer_;
    if (port == APS_PORT_DATA)
        return image_.registers[Selected()];
    return 0;
}

void SimulatedChip::PortWrite(uint16_t port, uint32_t value) {
    if (port == APS_PORT_POINTER)
        pointer_ = value & kChipPointerBits;
    else if (port == APS_PORT_DATA)
        image_.registers[Selected()] = value;
}

void SimulatedChip::Load(const ChipImage& image) {
    std::lock_guard lock(mutex());
    image_ = image;
    dsp_.Reset();
}

ChipImage SimulatedChip::Snapshot() {
    std::lock_guard lock(mutex());
    return image_;
}

void SimulatedChip::Run(int samples) {
    std::lock_guard lock(mutex());
    dsp_.Run(image_, samples);
}
