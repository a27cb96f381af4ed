// The sound around one block of DSP samples: the effects bus read from the
// input file before it, and the recorded outputs picked from all 32 after
// it, frame by frame. The real-time thread and the offline render share it.
#pragma once

#include "fx8010_interpreter.h"

#include <cstdint>
#include <vector>

class WavInput;

class AudioBlock {
  public:
    // input may be null (the test signal drives the bus); record holds output
    // registers 0x20-0x3F in the order of the recording's channels, and may
    // be empty.
    AudioBlock(WavInput* input, std::vector<uint32_t> record, int maxSamples);

    // Reads the input for a block of samples and says where the DSP puts
    // its outputs.
    DspBlockIo Before(int samples);
    // After the block: samples x record.size() values.
    const int32_t* Recorded(int samples);

  private:
    WavInput* input_;
    std::vector<uint32_t> record_;
    std::vector<int32_t> bus_, outputs_, recorded_;
};
