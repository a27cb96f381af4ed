#include "frequency_bins.h"

#include <algorithm>
#include <cmath>

double BinFrequency(std::size_t bin, std::size_t fftSize) {
    return static_cast<double>(bin) * kSampleRateHz / static_cast<double>(fftSize);
}

std::size_t BinNearest(double hz, std::size_t fftSize) {
    const double bin = std::round(hz * static_cast<double>(fftSize) / kSampleRateHz);
    if (!(bin > 0.0))
        return 0;
    return std::min(static_cast<std::size_t>(bin), fftSize / 2);
}

BinRange BinsOfColumn(const LogAxis& axis, double x, std::size_t fftSize) {
    const double column = std::floor(x);
    const double perHz = static_cast<double>(fftSize) / kSampleRateHz;
    const double from = std::ceil(axis.frequencyAt(column) * perHz);
    const double top = static_cast<double>(fftSize / 2);
    // The last column ends at 24 kHz itself, the Nyquist bin.
    const double to =
        column + 1.0 >= axis.width ? top : std::ceil(axis.frequencyAt(column + 1.0) * perHz) - 1.0;
    if (from > to || from > top) {
        const std::size_t middle = BinNearest(axis.frequencyAt(column + 0.5), fftSize);
        return {middle, middle};
    }
    return {static_cast<std::size_t>(from), static_cast<std::size_t>(std::min(to, top))};
}
