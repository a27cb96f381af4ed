// The effects bus fed from a sound file (a WAV file, or another form that
// libsndfile reads) at the chip's rate: channel n drives bus n, and the buses
// beyond the file's channels are silent. The file loops, or plays once and
// leaves the bus silent after it.
#pragma once

#include "bus_source.h"
#include "checked_file.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct sf_private_tag; // libsndfile's SNDFILE

class WavInput : public BusSource {
  public:
    // Opens path and checks it: a regular file that libsndfile reads, at
    // 48 kHz, with 1 to 16 channels and some audio. Otherwise nullptr, and
    // error says why, naming the path.
    static std::unique_ptr<WavInput> Open(const std::string& path, bool loop, std::string* error);
    ~WavInput() override;
    WavInput(const WavInput&) = delete;
    WavInput& operator=(const WavInput&) = delete;

    // The next frames samples of the whole bus: frames x 16 Q31 values.
    void Read(int32_t* bus, int frames) override;

    int channels() const { return channels_; }
    // A file played once has played out, or could not be read further.
    bool ended() const { return ended_; }

  private:
    WavInput(const std::string& path);
    // The next chunk of the file into chunk_; false at its end for good.
    bool Refill();

    CheckedFile file_;
    sf_private_tag* sound_ = nullptr;
    int channels_ = 0;
    bool loop_ = false;
    bool ended_ = false;
    std::vector<double> chunk_; // frames x channels_
    int chunkFrames_ = 0;
    int next_ = 0; // the next frame of chunk_
};
