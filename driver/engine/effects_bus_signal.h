// The test signal on the simulated chip's 16 effects bus inputs, so that
// programs that process input show moving values: two steady tones, a tone
// burst that repeats every half second, and noise; the other inputs are silent.
#pragma once

#include "bus_source.h"

#include <array>
#include <cstdint>

class EffectsBusSignal {
  public:
    static constexpr int kSampleRate = 48000;

    EffectsBusSignal();
    // The next sample of every input, as Q31 fractions.
    void Next(int32_t* bus);

  private:
    int32_t Sine(uint32_t phase) const;

    static constexpr int kTableBits = 12;
    std::array<int32_t, 1 << kTableBits> table_{};
    std::array<uint32_t, 3> phase_{};
    uint32_t noise_ = 0x2545F491;
    uint32_t sample_ = 0;
};
