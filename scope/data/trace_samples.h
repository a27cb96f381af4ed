// One trace's recent samples, numbered as the service counts them since the
// load, held in segments. Each segment keeps min/max envelopes at four scales
// (every 16, 256, 4,096 and 65,536 samples), so the min and max of any span,
// and so a screen's columns at any time base, cost a few dozen steps each.
#pragma once

#include "min_max.h"

#include <cstdint>
#include <deque>
#include <vector>

class TraceSamples {
  public:
    static constexpr int kScaleBits = 4;
    static constexpr int kScales = 4;
    static constexpr int64_t kSegmentSamples = int64_t(1) << (kScaleBits * kScales);

    // Keeps at least the newest keep samples; older whole segments go.
    explicit TraceSamples(int64_t keep = 4 * kSegmentSamples);

    // Forgets everything; the next sample appended is number first.
    void restart(uint64_t first);
    // The next samples, numbered on from the last.
    void append(const int32_t* values, int64_t n);

    // The number of the oldest held sample and one past the newest.
    uint64_t begin() const { return begin_; }
    uint64_t end() const { return end_; }
    int32_t at(uint64_t sample) const;

    // The min and max of the held samples [from, to); from < to, both held.
    MinMax span(uint64_t from, uint64_t to) const;
    // [from, to) in columns as DecimateMinMax cuts them; empty unless the
    // span is held and not empty.
    std::vector<MinMax> columns(uint64_t from, uint64_t to, int columns) const;

  private:
    struct Segment {
        std::vector<int32_t> values;
        std::vector<MinMax> envelope[kScales]; // envelope[k]: one per 16^(k+1)
    };

    int64_t keep_;
    uint64_t base_ = 0; // the number of segments_.front()'s first sample
    uint64_t begin_ = 0, end_ = 0;
    std::deque<Segment> segments_;
};
