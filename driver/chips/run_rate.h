// How fast the chip runs, for status: its samples per second of wall time
// over the last second, against the 48,000 of real time. Told of the count
// of samples after each run or look; a stand (a look that sees nothing run
// for kStand, a stop, a continue) forgets what came before. A look sooner
// is no stand: the runner looks between a watch's slices, which a busy
// machine may hold up for a few milliseconds. A run that
// resumes counts from where it stands kSettle after its first block: the
// clock's runner catches up on the time since it last looked, in a burst
// that is not its pace.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>

class RunRate {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration kWindow = std::chrono::seconds(1);
    static constexpr Clock::duration kSettle = kWindow / 32;
    static constexpr Clock::duration kStand = kWindow / 10;

    // The chip's count of samples ended, after a run or a look; one below
    // the last (a load began again at 0) is a stand.
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
    std::deque<Count> counts_; // oldest first, kSettle apart or more
    uint64_t last_ = 0;        // the count last told
    Clock::time_point begun_;  // the first block's end since the last stand
};
