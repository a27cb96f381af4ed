#include "trace_stats.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

TraceStats StatsOf(const std::vector<int32_t>& values) {
    TraceStats stats;
    if (values.empty())
        return stats;
    int32_t lo = values[0], hi = values[0];
    int64_t peak = -1;
    double squares = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int32_t v = values[i];
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        const int64_t magnitude = std::llabs(int64_t(v));
        if (magnitude > peak) {
            peak = magnitude;
            stats.peakAt = int64_t(i);
        }
        const double f = TraceFraction(v);
        squares += f * f;
    }
    stats.min = TraceFraction(lo);
    stats.max = TraceFraction(hi);
    stats.rms = std::sqrt(squares / double(values.size()));
    return stats;
}
