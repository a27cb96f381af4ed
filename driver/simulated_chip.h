// An EMU10K1 without hardware: the pointer register and the data port over a
// file of 0x800 32-bit registers, filled from a chip image, and a DSP that
// runs the microcode in those registers when asked to.
#pragma once

#include "chip_backend.h"
#include "chip_image.h"
#include "fx8010_interpreter.h"

class SimulatedChip : public ChipBackend {
  public:
    uint32_t PortRead(uint16_t port) override;
    void PortWrite(uint16_t port, uint32_t value) override;

    // Replaces every register and powers the DSP up afresh; takes the mutex itself.
    void Load(const ChipImage& image);
    // A copy of the registers, taken under the mutex.
    ChipImage Snapshot();
    // Executes whole samples under the mutex, so port accesses fall between them.
    void Run(int samples);

  private:
    uint32_t Selected() const { return ChipPointerRegister(pointer_); }

    uint32_t pointer_ = 0;
    ChipImage image_;
    Fx8010Interpreter dsp_;
};
