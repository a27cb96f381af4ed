// The chip's samples as sound files hold them. The DSP's values are Q31
// fractions of full scale; a file's samples, read as doubles, are fractions
// too (-1 to 1), so a 16-bit sample s is s << 16 on the chip and back.
#pragma once

#include <cmath>
#include <cstdint>

constexpr int kChipSampleRate = 48000;

enum class WavSampleFormat { Float32, Pcm16 };

constexpr int BytesPerSample(WavSampleFormat format) {
    return format == WavSampleFormat::Float32 ? 4 : 2;
}

// A file's sample as the chip's value: rounded, and saturated as the chip
// saturates; a NaN is silence.
inline int32_t Q31FromFraction(double x) {
    if (std::isnan(x))
        return 0;
    double scaled = x * 2147483648.0;
    if (scaled >= 2147483647.0)
        return INT32_MAX;
    if (scaled <= -2147483648.0)
        return INT32_MIN;
    return int32_t(std::lrint(scaled));
}

// Exact in double; rounded to the float's 24 bits.
inline float FloatFromQ31(int32_t q) {
    return float(double(q) * (1.0 / 2147483648.0));
}

// The top 16 bits, as TRAM keeps a sample.
inline int16_t Pcm16FromQ31(int32_t q) {
    return int16_t(q >> 16);
}

// A WAV file's sizes are 32-bit: its sample data stays below 4 GiB, with
// room left for the header.
constexpr int64_t kMaxWavDataBytes = (int64_t(1) << 32) - (int64_t(1) << 16);
constexpr int64_t MaxWavFrames(int channels, WavSampleFormat format) {
    return kMaxWavDataBytes / (int64_t(channels) * BytesPerSample(format));
}
