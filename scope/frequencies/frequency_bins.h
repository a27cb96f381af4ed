// Bins of a real FFT at the chip's 48 kHz, and which of them a pixel column
// of the log axis covers.
#pragma once

#include "log_axis.h"

#include <cstddef>

inline constexpr double kSampleRateHz = 48000.0;

// The centre frequency of bin k of an FFT of fftSize samples.
double BinFrequency(std::size_t bin, std::size_t fftSize);
// The bin nearest to hz, within 0 .. fftSize/2.
std::size_t BinNearest(double hz, std::size_t fftSize);

struct BinRange {
    std::size_t first;
    std::size_t last; // inclusive
};

// The bins whose centres fall in the pixel column at floor(x); where a column
// is narrower than a bin, the one bin nearest to its middle.
BinRange BinsOfColumn(const LogAxis& axis, double x, std::size_t fftSize);
