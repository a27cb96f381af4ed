// What the chip asks of an ALSA PCM it plays to or captures from.
#pragma once

#include "audio_samples.h"

#include <string>

struct PcmSettings {
    std::string pcm = "default";
    int channels = 2;
    WavSampleFormat format = WavSampleFormat::Float32;
    int latencyMs = 20; // the device's buffer; a period is a quarter of it
};
