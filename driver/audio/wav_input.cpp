#include "wav_input.h"

#include "audio_samples.h"

#include <algorithm>
#include <cstdint>
#include <sndfile.h>

namespace {

// Read ahead in chunks of 100 ms, so the running chip's thread rarely waits
// on the file.
constexpr int kChunkFrames = kChipSampleRate / 10;

} // namespace

WavInput::WavInput(const std::string& path) : file_(path, UINT64_MAX) {}

std::unique_ptr<WavInput> WavInput::Open(const std::string& path, bool loop, std::string* error) {
    std::unique_ptr<WavInput> input(new WavInput(path));
    auto refuse = [&](const std::string& why) {
        if (error)
            *error = path + ": " + why;
        return nullptr;
    };
    if (!input->file_.ok())
        return refuse(input->file_.error());
    SF_INFO info{};
    // The descriptor stays the CheckedFile's to close.
    input->sound_ = sf_open_fd(input->file_.fd(), SFM_READ, &info, SF_FALSE);
    if (!input->sound_)
        return refuse(std::string("it is not a sound file libsndfile reads (") +
                      sf_strerror(nullptr) + ")");
    if (info.samplerate != kChipSampleRate)
        return refuse("it is at " + std::to_string(info.samplerate) +
                      " Hz; the chip runs at 48000 Hz, so resample it to that first");
    if (info.channels < 1 || info.channels > kBusInputs)
        return refuse("it has " + std::to_string(info.channels) +
                      " channels; the effects bus has 16 inputs");
    if (info.frames <= 0)
        return refuse("it holds no audio");
    input->channels_ = info.channels;
    input->loop_ = loop;
    input->chunk_.resize(std::size_t(kChunkFrames) * std::size_t(info.channels));
    return input;
}

WavInput::~WavInput() {
    if (sound_)
        sf_close(sound_);
}

bool WavInput::Refill() {
    next_ = 0;
    chunkFrames_ = int(sf_readf_double(sound_, chunk_.data(), kChunkFrames));
    if (chunkFrames_ > 0)
        return true;
    // The end of the file, or a part of it that cannot be read: either way
    // the file ends here. A loop starts over, unless that yields nothing.
    if (!loop_ || sf_seek(sound_, 0, SEEK_SET) != 0)
        return false;
    chunkFrames_ = int(sf_readf_double(sound_, chunk_.data(), kChunkFrames));
    return chunkFrames_ > 0;
}

void WavInput::Read(int32_t* bus, int frames) {
    std::fill_n(bus, std::size_t(frames) * kBusInputs, 0);
    for (int f = 0; f < frames; ++f) {
        if (ended_ || (next_ == chunkFrames_ && !Refill())) {
            ended_ = true;
            return;
        }
        const double* frame = chunk_.data() + std::size_t(next_++) * std::size_t(channels_);
        int32_t* out = bus + std::size_t(f) * kBusInputs;
        for (int c = 0; c < channels_; ++c)
            out[c] = Q31FromFraction(frame[c]);
    }
}
