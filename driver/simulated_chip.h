// An EMU10K1 without hardware: the pointer register and the data port over a
// file of 0x800 32-bit registers, filled from a chip image.
#pragma once

#include "chip_backend.h"
#include "chip_image.h"

class SimulatedChip : public ChipBackend {
  public:
    uint32_t PortRead(uint16_t port) override;
    void PortWrite(uint16_t port, uint32_t value) override;

    // Replaces every register; takes the mutex itself.
    void Load(const ChipImage& image);
    // A copy of the registers, taken under the mutex.
    ChipImage Snapshot();

  private:
    uint32_t Selected() const { return (pointer_ >> 16) & 0x7FF; }

    uint32_t pointer_ = 0;
    ChipImage image_;
};
