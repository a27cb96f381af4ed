#include "clock_pacer.h"

using namespace std::chrono;

int64_t ClockPacer::Queued(Clock::time_point now) const {
    const int64_t us = duration_cast<microseconds>(now - anchor_).count();
    return frames_ - us * rate_ / 1000000;
}

ClockPacer::Clock::time_point ClockPacer::When(int64_t frames) const {
    if (!started_)
        return Clock::time_point{};
    // The moment the clock has played all but `ahead_` of them.
    const int64_t played = frames_ + frames - ahead_;
    return anchor_ + microseconds((played * 1000000 + rate_ - 1) / rate_);
}

void ClockPacer::Wrote(int64_t frames, Clock::time_point now) {
    if (!started_) {
        started_ = true;
        anchor_ = now;
        frames_ = 0;
    }
    frames_ += frames;
}

// The device's buffer is its own affair from here: the clock allows another
// buffer on top, so the device fills again long before drift could hold it.
void ClockPacer::Full(Clock::time_point now) {
    started_ = true;
    clocked_ = true;
    anchor_ = now;
    frames_ = 0;
}

bool ClockPacer::Dry(Clock::time_point now) const {
    return started_ && Queued(now) < 0;
}
