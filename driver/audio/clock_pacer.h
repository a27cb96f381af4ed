// Holds a sound device to real time by the system clock when it has no clock
// of its own (ALSA's null device, a file): frames go in no faster than the
// clock plays them, at most a buffer ahead. A device that fills shows its
// own clock, and the pacer starts afresh from there, so a real device is
// never held back by the drift between the two clocks.
#pragma once

#include <chrono>
#include <cstdint>

class ClockPacer {
  public:
    using Clock = std::chrono::steady_clock;

    ClockPacer(int sampleRate, int64_t aheadFrames) : rate_(sampleRate), ahead_(aheadFrames) {}

    // When `frames` more may go in: now or earlier when the device is idle.
    Clock::time_point When(int64_t frames) const;
    // `frames` went in at now; the first write starts the clock.
    void Wrote(int64_t frames, Clock::time_point now);
    // The device holds a full buffer at now.
    void Full(Clock::time_point now);
    // Played out by the clock at now, nothing left: a device with a clock
    // of its own would have run dry. The clock starts afresh with the next write.
    bool Dry(Clock::time_point now) const;
    void Restart() { started_ = false; }
    // Whether the device ever filled, and so keeps time itself.
    bool clocked() const { return clocked_; }

  private:
    // Frames written since the anchor and not yet played by the clock at now.
    int64_t Queued(Clock::time_point now) const;

    int rate_;
    int64_t ahead_;
    bool started_ = false;
    bool clocked_ = false;
    Clock::time_point anchor_{};
    int64_t frames_ = 0; // written since the anchor
};
