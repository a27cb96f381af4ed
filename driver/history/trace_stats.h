// What a trace without a file says of each register: its range, its RMS and
// where it peaked, as fractions of full scale.
#pragma once

#include <cstdint>
#include <vector>

struct TraceStats {
    double min = 0, max = 0, rms = 0;
    int64_t peakAt = 0; // index of the first sample of the largest magnitude
};

// values as the DSP sees them (Q31; a TRAM data register's sample in bits
// 12-31, so that it too is a fraction of 2^31); none gives zeros.
TraceStats StatsOf(const std::vector<int32_t>& values);

// A DSP-view value as a fraction of full scale.
inline double TraceFraction(int32_t value) {
    return double(value) / 2147483648.0;
}
