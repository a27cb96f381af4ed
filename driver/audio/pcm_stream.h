// What a PCM's own thread (capture's reader, playback's writer) shares with
// the chip's side, alike in either direction: the device as it was set up,
// its xruns, whether it went away, and the thread's end.
#pragma once

#include "alsa_pcm.h"
#include "pcm_settings.h"
#include "underrun_report.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// The longest a poll of the device waits before its thread looks around.
constexpr int kPcmPollSliceMs = 100;

struct PcmStream {
    using Log = std::function<void(const std::string&)>;

    explicit PcmStream(UnderrunReport xrunReport = UnderrunReport())
        : report(std::move(xrunReport)) {}
    // Opens and sets the PCM up as settings ask: false with the reason,
    // naming the PCM, when it cannot be.
    bool Open(const PcmSettings& settings, const PcmDirection& direction, Log heard,
              std::string* error);
    // An xrun, of the device or of what is held for it: counted, and said
    // with the others at most once a second.
    void Xrun();
    // After an error of a transfer: true when the PCM recovered from it, an
    // xrun counted; false when the device is gone.
    bool Recovered(snd_pcm_sframes_t error);
    // Lets the device go, by the one that transfers it; once.
    void Release();
    // The thread's end: lets the device go and tells the closer waiting on
    // closed that it finished.
    void Finish(std::condition_variable& closed);

    snd_pcm_t* pcm = nullptr;
    std::string name; // the PCM's, as it was asked for
    Log log;
    WavSampleFormat format = WavSampleFormat::Float32;
    int channels = 0;
    int periodFrames = 0;
    int bufferFrames = 0;

    std::mutex mutex;
    bool closing = false, finished = false; // under mutex
    std::atomic<bool> lost{false};
    std::atomic<int64_t> xruns{0};
    UnderrunReport report;   // the thread's (or, with none, the chip's)
    std::vector<pollfd> fds; // likewise
};
