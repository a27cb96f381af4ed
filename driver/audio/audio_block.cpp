#include "audio_block.h"

#include "wav_input.h"

AudioBlock::AudioBlock(WavInput* input, std::vector<uint32_t> record, int maxSamples)
    : input_(input), record_(std::move(record)) {
    std::size_t samples = std::size_t(maxSamples);
    if (input_)
        bus_.resize(samples * DspBlockIo::kBusInputs);
    if (!record_.empty()) {
        outputs_.resize(samples * DspBlockIo::kOutputs);
        recorded_.resize(samples * record_.size());
    }
}

DspBlockIo AudioBlock::Before(int samples) {
    DspBlockIo io;
    if (input_) {
        input_->Read(bus_.data(), samples);
        io.bus = bus_.data();
    }
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
    return recorded_.data();
}
