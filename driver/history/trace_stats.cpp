#include "trace_stats.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

void TraceStatsSum::Add(int32_t value) {
    lo_ = count_ == 0 ? value : std::min(lo_, value);
    hi_ = count_ == 0 ? value : std::max(hi_, value);
    if (const int64_t magnitude = std::llabs(int64_t(value)); magnitude > peak_) {
        peak_ = magnitude;
        stats_.peakAt = count_;
    }
    const double f = TraceFraction(value);
    squares_ += f * f;
    ++count_;
}

TraceStats TraceStatsSum::stats() const {
    TraceStats stats = stats_;
    if (count_ == 0)
        return stats;
    stats.min = TraceFraction(lo_);
    stats.max = TraceFraction(hi_);
    stats.rms = std::sqrt(squares_ / double(count_));
    return stats;
}
