// A sound device the running chip plays to. It takes the chip's outputs a
// period at a time and holds the writer while it is full, so its clock (or,
// for a device without one, the system's) sets the chip's pace.
#pragma once

#include <atomic>
#include <cstdint>

class PlaybackDevice {
  public:
    virtual ~PlaybackDevice() = default;
    // The frames the chip runs between two writes.
    virtual int periodFrames() const = 0;
    // Plays count frames of Q31 values, one a channel, waiting for room;
    // stopping set while it waits leaves the rest unplayed soon after. False
    // once the device is gone (an error, or no room for 5 s): it has said so
    // and takes nothing more.
    virtual bool Play(const int32_t* frames, int count, const std::atomic<bool>& stopping) = 0;
};
