// The chip's outputs played through an ALSA PCM at 48 kHz, as 32-bit float
// or 16-bit PCM, exactly as a recording holds them. Velmora converts nothing:
// a device that refuses the rate, the format or the channels is refused in
// its own words. Underruns are recovered and counted; a device that goes away
// (unplugged, its sound server stopped, or taking nothing for 5 s) is said
// once and then left alone.
// The PCM is written by a thread of its own, so a device that blocks in the
// kernel holds neither the chip nor the service's end: the chip hands it
// periods with a bounded wait. A device without a clock of its own is held
// to real time by the system clock.
#pragma once

#include "pcm_settings.h"
#include "pcm_thread.h"
#include "playback_device.h"

#include <atomic>
#include <memory>
#include <string>

using PlaybackSettings = PcmSettings;

class AlsaPlayback : public PlaybackDevice, public PcmThread {
  public:
    // Opens and sets up the PCM and starts its writer; nullptr with the
    // reason, naming the PCM, when it cannot be. log hears of underruns and
    // of the device going away, from either thread.
    static std::unique_ptr<AlsaPlayback> Open(const PlaybackSettings& settings, Log log,
                                              std::string* error);
    int periodFrames() const override;
    bool Play(const int32_t* frames, int count, const std::atomic<bool>& stopping) override;
    // For a status from another thread: the underruns so far.
    int64_t underruns() const;
    // Plays out what is handed over, for at most the buffer and a second,
    // and lets the device go; a writer stuck in the device is left to the
    // process's end. Once; Play takes nothing after it.
    void Close();
    ~AlsaPlayback() override; // Close()
    // What was played and the longest wait to be heard, once playing is over.
    std::string Summary() const;

  private:
    AlsaPlayback() = default;
    struct Shared; // what the writer thread shares with the player
};
