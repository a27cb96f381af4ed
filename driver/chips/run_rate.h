// How fast the chip runs, for status: its samples per second of wall time
// over the last second, against the 48,000 of real time. Told of the count
// of samples after each run; a stand (a run of nothing, a stop, a continue)
// forgets what came before, so a run that resumes reads its own pace from
// its second block on: the first one's end is where it counts from.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>

class RunRate {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration kWindow = std::chrono::seconds(1);

    // The chip's count of samples ended, after a run; one that is no more
    // than the last (nothing ran, or a load began again at 0) is a stand.
    void Ran(uint64_t samples, Clock::time_point now);
    void Stood(uint64_t samples);
    // Samples run between the oldest and the newest count of the last
    // kWindow, over the time between them, as a multiple of real time; 0
    // with fewer than two counts there.
    double Factor(Clock::time_point now) const;

  private:
    struct Count {
        Clock::time_point at;
        uint64_t samples;
    };
    std::deque<Count> counts_; // oldest first, kWindow / 32 apart or more
    uint64_t last_ = 0;        // the count last told
};
