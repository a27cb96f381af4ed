// A sound device the chip hears: it captures frames by a clock of its own
// and holds them until the chip takes them. One without a clock (clocked()
// false) holds whatever is asked: Wait returns at once, Take reads the
// frames then, and nothing arrives between: it keeps the chip's pace, with
// nothing to drop and nothing to correct.
// Tests put a device with a clock of their own behind it.
#pragma once

#include <chrono>
#include <cstdint>

class CaptureDevice {
  public:
    virtual ~CaptureDevice() = default;
    // The frames it captures at once.
    virtual int periodFrames() const = 0;
    virtual int channels() const = 0;
    virtual bool clocked() const { return true; }
    // Waits up to `most` until it holds at least `frames` frames; returns
    // the frames it holds then (fewer when the time ran out), or -1 once it
    // is gone: it has said so and captures nothing more.
    virtual int64_t Wait(int64_t frames, std::chrono::microseconds most) = 0;
    // Moves up to count of the frames it holds, the oldest first, into
    // frames as Q31 values, one a channel; returns how many it moved.
    virtual int Take(int32_t* frames, int count) = 0;
    // Drops up to count of the oldest frames it holds; returns how many.
    virtual int64_t Drop(int64_t count) = 0;
};
