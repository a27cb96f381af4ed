// The effects bus frames the chip heard, sample by sample, from whichever
// source fed it (a file, a capture): what its past replays. A sample heard
// again (going forward after going back) hears its recorded frame; past the
// recording's end the live source is read, and recorded.
#pragma once

#include "bus_source.h"

#include <array>
#include <cstdint>
#include <deque>

class Fx8010Interpreter;

class InputFrames {
  public:
    using Frame = std::array<int32_t, BusSource::kBusInputs>;

    // Frames from sample `first` on; none yet.
    void Restart(uint64_t first);
    // Forgets the frames before sample `first`.
    void DropBefore(uint64_t first);
    const Frame* Find(uint64_t sample) const;
    // Sample `sample`'s frame, heard now; ignored unless it is the next.
    void Append(uint64_t sample, const int32_t* bus);
    uint64_t end() const { return first_ + frames_.size(); }
    std::size_t bytes() const { return frames_.size() * sizeof(Frame); }

  private:
    uint64_t first_ = 0;
    std::deque<Frame> frames_;
};

// The served chip's bus: the recorded frame of a sample heard before, else
// the live source's, recorded.
class RecordedBus : public BusSource {
  public:
    RecordedBus(const Fx8010Interpreter& dsp, InputFrames& frames) : dsp_(dsp), frames_(frames) {}
    void SetLive(BusSource* live) { live_ = live; }
    BusSource* live() const { return live_; }
    void Read(int32_t* bus, int frames) override;

  private:
    const Fx8010Interpreter& dsp_;
    InputFrames& frames_;
    BusSource* live_ = nullptr;
};

// A rebuilt chip's bus: the recorded frames only, silence where none is.
class ReplayedBus : public BusSource {
  public:
    ReplayedBus(const Fx8010Interpreter& dsp, const InputFrames& frames)
        : dsp_(dsp), frames_(frames) {}
    void Read(int32_t* bus, int frames) override;

  private:
    const Fx8010Interpreter& dsp_;
    const InputFrames& frames_;
};
