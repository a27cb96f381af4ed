// Where the effects bus inputs come from as the DSP begins each sample. The
// DSP takes one frame per sample it begins, so a stopped chip takes nothing
// and a stepped one takes exactly the frames of the samples it begins: any
// way the chip is run, sample n hears frame n.
#pragma once

#include <cstdint>

class BusSource {
  public:
    static constexpr int kBusInputs = 16; // effects bus 0x00-0x0F

    virtual ~BusSource() = default;
    // The next frames samples of the whole bus: frames x kBusInputs Q31 values.
    virtual void Read(int32_t* bus, int frames) = 0;
};
