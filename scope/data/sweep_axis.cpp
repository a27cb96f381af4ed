#include "sweep_axis.h"

#include "min_max.h"

#include <algorithm>

std::optional<uint64_t> SampleAtX(const ScopeFrame& frame, int width, int x) {
    if (frame.to <= frame.from || width <= 0)
        return std::nullopt;
    const int64_t n = int64_t(frame.to - frame.from);
    return frame.from + uint64_t(ColumnStart(n, width, std::clamp(x, 0, width - 1)));
}

std::optional<int> XOfSample(const ScopeFrame& frame, int width, uint64_t sample) {
    if (sample < frame.from || sample >= frame.to || width <= 0)
        return std::nullopt;
    // The last column starting at or before it (with more columns than
    // samples, several start at one).
    const int64_t n = int64_t(frame.to - frame.from), k = int64_t(sample - frame.from);
    return int(std::min<int64_t>(((k + 1) * width - 1) / n, width - 1));
}

int SideOfSweep(const ScopeFrame& frame, uint64_t sample) {
    return sample < frame.from ? -1 : sample >= frame.to ? 1 : 0;
}
