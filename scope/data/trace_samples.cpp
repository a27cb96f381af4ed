#include "trace_samples.h"

#include <algorithm>

TraceSamples::TraceSamples(int64_t keep) : keep_(std::max<int64_t>(keep, 1)) {}

void TraceSamples::restart(uint64_t first) {
    segments_.clear();
    base_ = begin_ = end_ = first;
}

void TraceSamples::append(const int32_t* values, int64_t n) {
    for (int64_t i = 0; i < n; ++i) {
        if (segments_.empty() || int64_t(segments_.back().values.size()) == kSegmentSamples)
            segments_.emplace_back();
        Segment& s = segments_.back();
        const std::size_t pos = s.values.size();
        const int32_t v = values[i];
        s.values.push_back(v);
        for (int k = 0; k < kScales; ++k) {
            const int shift = kScaleBits * (k + 1);
            if ((pos & ((std::size_t(1) << shift) - 1)) == 0)
                s.envelope[k].push_back({v, v});
            else
                s.envelope[k].back() = Joined(s.envelope[k].back(), {v, v});
        }
    }
    end_ += uint64_t(std::max<int64_t>(n, 0));
    while (segments_.size() > 1 && int64_t(end_ - (base_ + kSegmentSamples)) >= keep_) {
        segments_.pop_front();
        base_ += kSegmentSamples;
    }
    begin_ = std::max(begin_, base_);
}

int32_t TraceSamples::at(uint64_t sample) const {
    const uint64_t offset = sample - base_;
    return segments_[offset / kSegmentSamples].values[offset % kSegmentSamples];
}

MinMax TraceSamples::span(uint64_t from, uint64_t to) const {
    MinMax m{at(from), at(from)};
    uint64_t i = from;
    while (i < to) {
        const uint64_t offset = i - base_;
        const Segment& s = segments_[offset / kSegmentSamples];
        const uint64_t pos = offset % kSegmentSamples;
        // The coarsest envelope whose block starts here and ends by to.
        int k = kScales - 1;
        for (; k >= 0; --k) {
            const uint64_t block = uint64_t(1) << (kScaleBits * (k + 1));
            if (pos % block == 0 && i + block <= to)
                break;
        }
        if (k < 0) {
            m = Joined(m, {s.values[pos], s.values[pos]});
            ++i;
        } else {
            m = Joined(m, s.envelope[k][pos >> (kScaleBits * (k + 1))]);
            i += uint64_t(1) << (kScaleBits * (k + 1));
        }
    }
    return m;
}

std::vector<MinMax> TraceSamples::columns(uint64_t from, uint64_t to, int columns) const {
    std::vector<MinMax> out;
    if (from >= to || from < begin_ || to > end_ || columns <= 0)
        return out;
    const int64_t n = int64_t(to - from);
    out.reserve(std::size_t(columns));
    for (int c = 0; c < columns; ++c) {
        const uint64_t a = from + uint64_t(ColumnStart(n, columns, c));
        const uint64_t b = std::max(from + uint64_t(ColumnStart(n, columns, c + 1)), a + 1);
        out.push_back(span(a, b));
    }
    return out;
}
