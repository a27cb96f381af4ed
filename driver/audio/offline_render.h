// The chip run offline, as fast as it goes: a number of samples from a chip
// image, the effects bus from the input file (or the test signal), every
// block's recorded outputs handed to the caller.
#pragma once

#include "chip_image.h"

#include <cstdint>
#include <functional>
#include <vector>

class BusSource;
enum class Fx8010Engine : uint8_t;

struct RenderJob {
    ChipImage chip;               // as the chip starts
    BusSource* input = nullptr;   // without it the test signal
    std::vector<uint32_t> record; // output registers 0x20-0x3F, one a channel
    int64_t samples = 0;
    Fx8010Engine engine{}; // set by the render: the engine its DSP ran on
};

// written(frames, count) takes count frames of job.record.size() values;
// after it, proceed(done) says whether to go on. Returns the samples run,
// all of them unless one of the two said stop.
int64_t RenderOffline(RenderJob& job,
                      const std::function<bool(const int32_t* frames, int count)>& written,
                      const std::function<bool(int64_t done)>& proceed);
