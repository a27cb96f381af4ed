#include "wav_files.h"

#include <sndfile.h>

namespace {

sf_count_t WriteFrames(SNDFILE* f, const int16_t* s, sf_count_t n) {
    return sf_writef_short(f, s, n);
}
sf_count_t WriteFrames(SNDFILE* f, const float* s, sf_count_t n) {
    return sf_writef_float(f, s, n);
}
sf_count_t ReadFrames(SNDFILE* f, int16_t* s, sf_count_t n) {
    return sf_readf_short(f, s, n);
}
sf_count_t ReadFrames(SNDFILE* f, float* s, sf_count_t n) {
    return sf_readf_float(f, s, n);
}

template <typename Sample> bool Write(const std::string& path, const Wav<Sample>& wav, int format) {
    SF_INFO info{};
    info.samplerate = wav.rate;
    info.channels = wav.channels;
    info.format = SF_FORMAT_WAV | format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    bool whole = WriteFrames(file, wav.samples.data(), wav.frames()) == wav.frames();
    return sf_close(file) == 0 && whole;
}

template <typename Sample> Wav<Sample> Read(const std::string& path, int format) {
    Wav<Sample> wav;
    wav.channels = 0;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return wav;
    if ((info.format & SF_FORMAT_SUBMASK) == format) {
        wav.samples.resize(std::size_t(info.frames) * std::size_t(info.channels));
        if (ReadFrames(file, wav.samples.data(), info.frames) == info.frames) {
            wav.rate = info.samplerate;
            wav.channels = info.channels;
        }
    }
    sf_close(file);
    return wav;
}

} // namespace

bool WriteWav(const std::string& path, const Wav<int16_t>& wav) {
    return Write(path, wav, SF_FORMAT_PCM_16);
}

bool WriteWav(const std::string& path, const Wav<float>& wav) {
    return Write(path, wav, SF_FORMAT_FLOAT);
}

Wav<int16_t> ReadPcm16Wav(const std::string& path) {
    return Read<int16_t>(path, SF_FORMAT_PCM_16);
}

Wav<float> ReadFloatWav(const std::string& path) {
    return Read<float>(path, SF_FORMAT_FLOAT);
}
