// The sound out of one block of DSP samples: the recorded registers as each
// sample left them, frame by frame. The real-time thread and the offline
// render share it. (The DSP takes its input itself, sample by sample.)
#pragma once

#include "fx8010_interpreter.h"

#include <cstdint>
#include <vector>

class AudioBlock {
  public:
    // record holds the registers (DSP operands: outputs, GPRs, TRAM data) in
    // the order of the recording's channels, and may be empty.
    AudioBlock(std::vector<uint32_t> record, int maxSamples);

    // Where the DSP puts a block's outputs.
    DspBlockIo Before();
    // After the block: samples x record.size() values.
    const int32_t* Recorded(int samples);
    // Instead of a block: the last frame Recorded gave, samples times over
    // (silence before any).
    const int32_t* Held(int samples);

  private:
    std::vector<uint32_t> record_;
    std::vector<int32_t> recorded_, last_;
};
