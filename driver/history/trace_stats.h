// What a trace without a file says of each register: its range, its RMS and
// where it peaked, as fractions of full scale.
#pragma once

#include <cstdint>

struct TraceStats {
    double min = 0, max = 0, rms = 0;
    int64_t peakAt = 0; // index of the first sample of the largest magnitude
};

// The figures of values added one at a time, as the DSP sees them (Q31; a
// TRAM data register's sample in bits 12-31, so that it too is a fraction of
// 2^31), so a trace need not hold its samples; none gives zeros.
class TraceStatsSum {
  public:
    void Add(int32_t value);
    TraceStats stats() const;
    // The smallest and largest value added, as words.
    uint32_t lowest() const { return uint32_t(lo_); }
    uint32_t highest() const { return uint32_t(hi_); }

  private:
    int64_t count_ = 0, peak_ = -1;
    int32_t lo_ = 0, hi_ = 0;
    double squares_ = 0;
    TraceStats stats_;
};

// A DSP-view value as a fraction of full scale.
inline double TraceFraction(int32_t value) {
    return double(value) / 2147483648.0;
}
