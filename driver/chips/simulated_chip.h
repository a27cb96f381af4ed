// An EMU10K1 without hardware: 0x800 32-bit registers in memory shared with
// the client that holds the device, filled from a chip image, and a DSP that
// runs the microcode in those registers when asked to. The client's port
// accesses and the DSP meet in that one register file.
#pragma once

#include "chip_backend.h"
#include "chip_image.h"
#include "fx8010_interpreter.h"
#include "shared_chip_memory.h"

#include <mutex>

class SimulatedChip : public ChipBackend {
  public:
    // The ports over the shared register file, for requests carried out in
    // this process (the service's own tests and benchmarks).
    ApsChipPorts Ports();
    ChipHandout Handout() const override;

    // Replaces every register, word by word, and powers the DSP up afresh.
    // A reader in the middle of it sees each register either old or new.
    void Load(const ChipImage& image);
    // A copy of the registers.
    ChipImage Snapshot();
    // Executes whole samples; a reload never falls inside them.
    void Run(int samples, const DspBlockIo& io = {});

  private:
    SharedChipMemory memory_;
    std::mutex mutex_;
    Fx8010Interpreter dsp_;
};
