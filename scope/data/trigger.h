// Where a sweep starts: the newest edge through a level on the trigger trace,
// and what the modes do when there is none.
#pragma once

#include "trace_samples.h"

#include <cstdint>
#include <optional>

enum class Edge { Rising, Falling };
enum class TriggerMode { Auto, Normal, Single };

// The newest sample t in [from, to) where the trace crosses level by edge:
// rising when sample t - 1 < level <= sample t, falling when
// sample t - 1 > level >= sample t. Samples outside those held are skipped.
std::optional<uint64_t> NewestCrossing(const TraceSamples& trace, uint64_t from, uint64_t to,
                                       Edge edge, int32_t level);

struct TriggerSettings {
    Edge edge = Edge::Rising;
    int32_t level = 0;
    TriggerMode mode = TriggerMode::Auto;
    bool operator==(const TriggerSettings&) const = default;
};

// A screen's sweep: the first sample it shows, and whether a trigger set it.
struct Sweep {
    uint64_t from = 0;
    bool triggered = false;
};

class Trigger {
  public:
    // Of a sweep of width samples, this share lies before the trigger.
    static constexpr int kPreTriggerDivisor = 10;

    void configure(const TriggerSettings& settings);
    const TriggerSettings& settings() const { return settings_; }
    // Forgets the last trigger (a restart of the samples); arms single again.
    void rearm();
    // Single mode has triggered and holds its sweep.
    bool holding() const { return settings_.mode == TriggerMode::Single && last_.has_value(); }
    // The sample of the last trigger, if any since the last rearm.
    std::optional<uint64_t> triggeredAt() const { return last_; }

    // The sweep to show of width samples, the newest at trace.end(); none
    // when the trace holds too little, or in normal and single mode before
    // the first trigger.
    std::optional<Sweep> choose(const TraceSamples& trace, uint64_t width);

  private:
    TriggerSettings settings_;
    std::optional<uint64_t> last_;
};
