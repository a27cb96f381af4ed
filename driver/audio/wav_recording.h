// Output registers recorded to a WAV file at 48 kHz, as 32-bit float or
// 16-bit PCM. The header is brought up to date with every write, so the file
// is whole at any moment, and finished when the recording closes.
#pragma once

#include "audio_samples.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct sf_private_tag; // libsndfile's SNDFILE

class WavRecording {
  public:
    // Creates (or empties) path; a path that is there but not a regular file
    // is refused and left alone. nullptr with the reason in error, which
    // names the path.
    static std::unique_ptr<WavRecording> Create(const std::string& path, int channels,
                                                WavSampleFormat format, std::string* error);
    ~WavRecording(); // closes
    WavRecording(const WavRecording&) = delete;
    WavRecording& operator=(const WavRecording&) = delete;

    // Appends count frames of channels() Q31 values each. False when not all
    // of them went into the file (error() says why); later writes add nothing.
    bool Write(const int32_t* frames, int64_t count);
    // Finishes the file's header and closes it; false if that failed.
    bool Close();

    const std::string& path() const { return path_; }
    int channels() const { return channels_; }
    WavSampleFormat format() const { return format_; }
    int64_t frames() const { return frames_; }
    const std::string& error() const { return error_; }

  private:
    WavRecording() = default;
    bool Fail(const std::string& why);

    std::string path_;
    int fd_ = -1;
    sf_private_tag* sound_ = nullptr;
    int channels_ = 0;
    WavSampleFormat format_ = WavSampleFormat::Float32;
    int64_t frames_ = 0;
    std::string error_;
    std::vector<float> floats_;
    std::vector<int16_t> shorts_;
};
