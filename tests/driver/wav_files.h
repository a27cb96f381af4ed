// Sound files for the tests, written and read with libsndfile, sample for
// sample as they are stored: 16-bit PCM as shorts, 32-bit float as floats.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

template <typename Sample> struct Wav {
    int rate = 48000;
    int channels = 1;
    std::vector<Sample> samples; // frames x channels
    int64_t frames() const { return channels > 0 ? int64_t(samples.size()) / channels : 0; }
};

// False when libsndfile could not write all of it.
bool WriteWav(const std::string& path, const Wav<int16_t>& wav);
bool WriteWav(const std::string& path, const Wav<float>& wav);
// The file as stored, when it opens and holds that kind of sample; else
// channels is 0.
Wav<int16_t> ReadPcm16Wav(const std::string& path);
Wav<float> ReadFloatWav(const std::string& path);
