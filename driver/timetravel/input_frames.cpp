#include "input_frames.h"

#include "fx8010_interpreter.h"

#include <algorithm>

void InputFrames::Restart(uint64_t first) {
    frames_.clear();
    first_ = first;
}

void InputFrames::DropBefore(uint64_t first) {
    while (first_ < first && !frames_.empty()) {
        frames_.pop_front();
        ++first_;
    }
}

const InputFrames::Frame* InputFrames::Find(uint64_t sample) const {
    if (sample < first_ || sample >= end())
        return nullptr;
    return &frames_[std::size_t(sample - first_)];
}

void InputFrames::Append(uint64_t sample, const int32_t* bus) {
    if (frames_.empty() && sample != first_)
        first_ = sample;
    if (sample != end())
        return;
    Frame& frame = frames_.emplace_back();
    std::copy_n(bus, frame.size(), frame.begin());
}

// The DSP reads a sample's frame as it begins it, before it counts it.
void RecordedBus::Read(int32_t* bus, int frames) {
    const uint64_t first = dsp_.samples();
    for (int i = 0; i < frames;) {
        if (const InputFrames::Frame* heard = frames_.Find(first + uint64_t(i))) {
            std::copy(heard->begin(), heard->end(), bus + std::size_t(i) * kBusInputs);
            ++i;
            continue;
        }
        // The frames not recorded yet come from the live source in one read:
        // a capture paces and corrects its drift per read, not per frame.
        int n = 1;
        while (i + n < frames && !frames_.Find(first + uint64_t(i + n)))
            ++n;
        int32_t* run = bus + std::size_t(i) * kBusInputs;
        if (live_)
            live_->Read(run, n);
        else
            std::fill_n(run, std::size_t(n) * kBusInputs, 0);
        for (int k = 0; k < n; ++k)
            frames_.Append(first + uint64_t(i + k), run + std::size_t(k) * kBusInputs);
        i += n;
    }
}

void ReplayedBus::Read(int32_t* bus, int frames) {
    for (int i = 0; i < frames; ++i, bus += kBusInputs) {
        const InputFrames::Frame* heard = frames_.Find(dsp_.samples() + uint64_t(i));
        if (heard)
            std::copy(heard->begin(), heard->end(), bus);
        else
            std::fill_n(bus, kBusInputs, 0);
    }
}
