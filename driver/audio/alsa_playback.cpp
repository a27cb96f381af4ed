#include "alsa_playback.h"

#include <algorithm>
#include <alsa/asoundlib.h>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {

// A device that takes nothing for this long has gone, whatever it says. A
// sound server can take a second or two to take up a new stream.
constexpr int kStallMs = 5000;
// How often a wait for room looks whether the chip is stopping.
constexpr int kWaitSliceMs = 100;

// alsa-lib's own messages, kept for the one line that says why instead of
// going to standard error a line each; per thread, as the player is one.
thread_local std::string alsaWords;

void KeepAlsaWords(const char*, int, const char*, int, const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    alsaWords = text;
}

// The device's words for an error: alsa-lib's message when it gave one.
std::string Words(int error) {
    std::string words = alsaWords.empty() ? "" : alsaWords + ": ";
    alsaWords.clear();
    return words + snd_strerror(error);
}

snd_pcm_format_t AlsaFormat(WavSampleFormat format) {
    return format == WavSampleFormat::Float32 ? SND_PCM_FORMAT_FLOAT_LE : SND_PCM_FORMAT_S16_LE;
}

// "S16_LE, S32_LE": the formats a device still offers.
std::string OfferedFormats(snd_pcm_t* pcm, snd_pcm_hw_params_t* params) {
    std::string offered;
    for (int f = 0; f <= SND_PCM_FORMAT_LAST; ++f) {
        auto format = snd_pcm_format_t(f);
        if (snd_pcm_format_name(format) && snd_pcm_hw_params_test_format(pcm, params, format) == 0)
            offered += (offered.empty() ? "" : ", ") + std::string(snd_pcm_format_name(format));
    }
    return offered.empty() ? "none" : offered;
}

// Sets what the chip's samples need; "" or what the device said.
std::string SetUp(snd_pcm_t* pcm, const PlaybackSettings& s, snd_pcm_uframes_t* period,
                  snd_pcm_uframes_t* buffer) {
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    int err = snd_pcm_hw_params_any(pcm, hw);
    if (err < 0)
        return "it offers no set-up: " + Words(err);
    if ((err = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0)
        return "it does not take interleaved writes: " + Words(err);
    const snd_pcm_format_t format = AlsaFormat(s.format);
    if (snd_pcm_hw_params_set_format(pcm, hw, format) < 0)
        return std::string("it does not play ") + snd_pcm_format_name(format) + " (it plays " +
               OfferedFormats(pcm, hw) + "); try the other --format";
    unsigned min = 0, max = 0;
    if (snd_pcm_hw_params_set_channels(pcm, hw, unsigned(s.channels)) < 0) {
        snd_pcm_hw_params_get_channels_min(hw, &min);
        snd_pcm_hw_params_get_channels_max(hw, &max);
        return "it does not play " + std::to_string(s.channels) + " channels (it plays " +
               std::to_string(min) + " to " + std::to_string(max) + "); change --record";
    }
    if (snd_pcm_hw_params_set_rate(pcm, hw, kChipSampleRate, 0) < 0) {
        snd_pcm_hw_params_get_rate_min(hw, &min, nullptr);
        snd_pcm_hw_params_get_rate_max(hw, &max, nullptr);
        return "it does not play at 48000 Hz (it plays " + std::to_string(min) + " to " +
               std::to_string(max) + " Hz); a plug PCM converts";
    }
    unsigned bufferUs = unsigned(s.latencyMs) * 1000, periodUs = bufferUs / 4;
    snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &bufferUs, nullptr);
    snd_pcm_hw_params_set_period_time_near(pcm, hw, &periodUs, nullptr);
    if ((err = snd_pcm_hw_params(pcm, hw)) < 0)
        return "it cannot be set up so: " + Words(err);
    snd_pcm_hw_params_get_period_size(hw, period, nullptr);
    snd_pcm_hw_params_get_buffer_size(hw, buffer);

    // Starts once the buffer is full; wakes the writer for a period of room.
    snd_pcm_sw_params_t* sw;
    snd_pcm_sw_params_alloca(&sw);
    if ((err = snd_pcm_sw_params_current(pcm, sw)) < 0 ||
        (err = snd_pcm_sw_params_set_start_threshold(pcm, sw, *buffer)) < 0 ||
        (err = snd_pcm_sw_params_set_avail_min(pcm, sw, *period)) < 0 ||
        (err = snd_pcm_sw_params(pcm, sw)) < 0)
        return "it cannot be set up so: " + Words(err);
    return "";
}

} // namespace

std::unique_ptr<AlsaPlayback> AlsaPlayback::Open(const PlaybackSettings& settings, Log log,
                                                 std::string* error) {
    static std::once_flag quiet;
    std::call_once(quiet, [] { snd_lib_error_set_handler(KeepAlsaWords); });
    alsaWords.clear();
    std::unique_ptr<AlsaPlayback> playback(new AlsaPlayback);
    playback->name_ = settings.pcm;
    // Not blocking, so that a busy device is refused rather than waited for.
    int err = snd_pcm_open(&playback->pcm_, settings.pcm.c_str(), SND_PCM_STREAM_PLAYBACK,
                           SND_PCM_NONBLOCK);
    if (err < 0) {
        playback->pcm_ = nullptr;
        *error = "--play=" + settings.pcm + ": cannot open it: " + Words(err);
        return nullptr;
    }
    snd_pcm_uframes_t period = 0, buffer = 0;
    if (std::string why = SetUp(playback->pcm_, settings, &period, &buffer); !why.empty()) {
        *error = "--play=" + settings.pcm + ": " + why;
        return nullptr;
    }
    playback->log_ = std::move(log);
    playback->format_ = settings.format;
    playback->channels_ = settings.channels;
    playback->periodFrames_ = int(period);
    playback->bufferFrames_ = int(buffer);
    return playback;
}

AlsaPlayback::~AlsaPlayback() {
    if (!pcm_)
        return;
    // What was written is played out (a file device writes its last period
    // only then), unless the device takes longer than its buffer and a second.
    const int drainMs = bufferFrames_ * 1000 / kChipSampleRate + 1000;
    if (snd_pcm_drain(pcm_) == -EAGAIN)
        for (int waited = 0; waited < drainMs && snd_pcm_state(pcm_) == SND_PCM_STATE_DRAINING;
             waited += kWaitSliceMs)
            snd_pcm_wait(pcm_, kWaitSliceMs);
    snd_pcm_drop(pcm_);
    snd_pcm_close(pcm_);
}

bool AlsaPlayback::Play(const int32_t* frames, int count, const std::atomic<bool>& stopping) {
    if (lost_)
        return false;
    const std::size_t values = std::size_t(count) * std::size_t(channels_);
    const char* bytes;
    if (format_ == WavSampleFormat::Float32) {
        floats_.resize(values);
        std::transform(frames, frames + values, floats_.begin(), FloatFromQ31);
        bytes = reinterpret_cast<const char*>(floats_.data());
    } else {
        shorts_.resize(values);
        std::transform(frames, frames + values, shorts_.begin(), Pcm16FromQ31);
        bytes = reinterpret_cast<const char*>(shorts_.data());
    }
    if (!Write(bytes, count, stopping))
        return false;
    played_ += count;
    // How long the newest sample waits to be heard: what a change to the
    // chip takes to reach the ear, less the period it waited to be run.
    if (snd_pcm_sframes_t delay = 0; snd_pcm_delay(pcm_, &delay) == 0)
        mostQueued_ = std::max<int64_t>(mostQueued_, delay);
    if (std::string line = underruns_.Due(UnderrunReport::Clock::now()); !line.empty() && log_)
        log_(line);
    return true;
}

bool AlsaPlayback::Write(const char* bytes, int count, const std::atomic<bool>& stopping) {
    const std::size_t frameBytes = std::size_t(channels_) * BytesPerSample(format_);
    int done = 0, stalledMs = 0;
    while (done < count) {
        snd_pcm_sframes_t n = snd_pcm_writei(pcm_, bytes + std::size_t(done) * frameBytes,
                                             snd_pcm_uframes_t(count - done));
        if (n >= 0) {
            done += int(n);
            stalledMs = 0;
            continue;
        }
        // Full but not started: after an underrun the buffer can fill short
        // of the start threshold by less than a period, and never start.
        if (n == -EAGAIN && snd_pcm_state(pcm_) == SND_PCM_STATE_PREPARED &&
            snd_pcm_start(pcm_) == 0)
            continue;
        if (n == -EAGAIN) {
            if (stopping)
                return true;
            int ready = snd_pcm_wait(pcm_, kWaitSliceMs);
            if (ready == 0 && (stalledMs += kWaitSliceMs) >= kStallMs)
                return Lose("it took nothing for " + std::to_string(kStallMs / 1000) + " seconds");
            if (ready >= 0)
                continue;
            n = ready;
        }
        // What is left of the period goes in after the gap, so nothing the
        // chip ran is skipped and a recording stays in step with the sound.
        if ((n == -EPIPE || n == -ESTRPIPE || n == -EINTR) &&
            snd_pcm_recover(pcm_, int(n), 1) == 0) {
            if (n == -EPIPE)
                underruns_.Count();
            underrunsSeen_.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        return Lose(Words(int(n)));
    }
    return true;
}

bool AlsaPlayback::Lose(const std::string& why) {
    lost_ = true;
    lostSeen_.store(true, std::memory_order_relaxed);
    if (log_)
        log_("--play=" + name_ + ": the sound device went away (" + why +
             "); the chip goes on by the system clock, unheard");
    snd_pcm_close(pcm_);
    pcm_ = nullptr;
    return false;
}

std::string AlsaPlayback::Summary() const {
    return "played " + std::to_string(played_) + " samples through " + name_ + " with " +
           std::to_string(underruns_.total()) + " underruns" +
           (lost_ ? " before it went away" : "") + "; at most " + std::to_string(mostQueued_) +
           " samples (" + std::to_string(mostQueued_ * 1000 / kChipSampleRate) +
           " ms) waited to be heard";
}
