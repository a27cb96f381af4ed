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
    for (int i = 0; i < frames; ++i, bus += kBusInputs) {
        const uint64_t sample = dsp_.samples() + uint64_t(i);
        if (const InputFrames::Frame* heard = frames_.Find(sample)) {
            std::copy(heard->begin(), heard->end(), bus);
            continue;
        }
        if (live_)
            live_->Read(bus, 1);
        else
            std::fill_n(bus, kBusInputs, 0);
        frames_.Append(sample, bus);
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
