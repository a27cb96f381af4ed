// The chip's outputs played through an ALSA PCM at 48 kHz, as 32-bit float
// or 16-bit PCM, exactly as a recording holds them. Velmora converts nothing:
// a device that refuses the rate, the format or the channels is refused in
// its own words. Underruns are recovered and counted; a device that goes away
// (unplugged, its sound server stopped) is said once and then left alone.
#pragma once

#include "audio_samples.h"
#include "playback_device.h"
#include "underrun_report.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

typedef struct _snd_pcm snd_pcm_t;

struct PlaybackSettings {
    std::string pcm = "default";
    int channels = 2;
    WavSampleFormat format = WavSampleFormat::Float32;
    int latencyMs = 20; // the device's buffer; a period is a quarter of it
};

class AlsaPlayback : public PlaybackDevice {
  public:
    using Log = std::function<void(const std::string&)>;
    // Opens and sets up the PCM; nullptr with the reason, naming the PCM,
    // when it cannot be. log hears of underruns and of the device going
    // away, from the thread that plays.
    static std::unique_ptr<AlsaPlayback> Open(const PlaybackSettings& settings, Log log,
                                              std::string* error);
    ~AlsaPlayback() override; // plays out what is still buffered
    AlsaPlayback(const AlsaPlayback&) = delete;
    AlsaPlayback& operator=(const AlsaPlayback&) = delete;

    int periodFrames() const override { return periodFrames_; }
    int bufferFrames() const { return bufferFrames_; }
    bool Play(const int32_t* frames, int count, const std::atomic<bool>& stopping) override;
    // What was played and the longest wait to be heard, once playing is over.
    std::string Summary() const;
    // For a status from another thread: the underruns so far, and whether
    // the device went away.
    int64_t underruns() const { return underrunsSeen_.load(std::memory_order_relaxed); }
    bool lost() const { return lostSeen_.load(std::memory_order_relaxed); }

  private:
    AlsaPlayback() = default;
    // Gets a period's worth into the device, recovering from underruns.
    bool Write(const char* bytes, int count, const std::atomic<bool>& stopping);
    // Says once why the device is gone, and closes it.
    bool Lose(const std::string& why);

    snd_pcm_t* pcm_ = nullptr;
    std::string name_;
    Log log_;
    WavSampleFormat format_ = WavSampleFormat::Float32;
    int channels_ = 0;
    int periodFrames_ = 0;
    int bufferFrames_ = 0;
    int64_t played_ = 0;
    int64_t mostQueued_ = 0; // the device's delay after a write, at its longest
    bool lost_ = false;
    UnderrunReport underruns_;
    std::atomic<int64_t> underrunsSeen_{0};
    std::atomic<bool> lostSeen_{false};
    std::vector<float> floats_;
    std::vector<int16_t> shorts_;
};
