#include "audio_block.h"

#include <algorithm>

AudioBlock::AudioBlock(std::vector<uint32_t> record, int maxSamples) : record_(std::move(record)) {
    std::size_t samples = std::size_t(maxSamples);
    if (!record_.empty()) {
        recorded_.resize(samples * record_.size());
        last_.resize(record_.size());
    }
}

DspBlockIo AudioBlock::Before() {
    DspBlockIo io;
    if (!record_.empty()) {
        io.probes = record_.data();
        io.probeCount = int(record_.size());
        io.probed = recorded_.data();
    }
    return io;
}

const int32_t* AudioBlock::Recorded(int samples) {
    const int32_t* end = recorded_.data() + std::size_t(samples) * record_.size();
    if (samples > 0)
        std::copy(end - last_.size(), end, last_.begin());
    return recorded_.data();
}

const int32_t* AudioBlock::Held(int samples) {
    int32_t* to = recorded_.data();
    for (int s = 0; s < samples; ++s)
        to = std::copy(last_.begin(), last_.end(), to);
    return recorded_.data();
}
