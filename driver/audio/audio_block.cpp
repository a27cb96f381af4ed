#include "audio_block.h"

#include <algorithm>

AudioBlock::AudioBlock(std::vector<uint32_t> record, int maxSamples) : record_(std::move(record)) {
    std::size_t samples = std::size_t(maxSamples);
    if (!record_.empty()) {
        outputs_.resize(samples * DspBlockIo::kOutputs);
        recorded_.resize(samples * record_.size());
        last_.resize(record_.size());
    }
}

DspBlockIo AudioBlock::Before() {
    DspBlockIo io;
    if (!record_.empty())
        io.outputs = outputs_.data();
    return io;
}

const int32_t* AudioBlock::Recorded(int samples) {
    int32_t* to = recorded_.data();
    for (int s = 0; s < samples; ++s) {
        const int32_t* outputs = outputs_.data() + std::size_t(s) * DspBlockIo::kOutputs;
        for (uint32_t reg : record_)
            *to++ = outputs[(reg - Fx8010Interpreter::kOutputs) % DspBlockIo::kOutputs];
    }
    if (samples > 0)
        std::copy(to - last_.size(), to, last_.begin());
    return recorded_.data();
}

const int32_t* AudioBlock::Held(int samples) {
    int32_t* to = recorded_.data();
    for (int s = 0; s < samples; ++s)
        to = std::copy(last_.begin(), last_.end(), to);
    return recorded_.data();
}
