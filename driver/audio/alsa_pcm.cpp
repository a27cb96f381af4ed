#include "alsa_pcm.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {

// alsa-lib's own messages, kept for the one line that says why instead of
// going to standard error a line each; per thread, as each device is one.
thread_local std::string alsaWords;

void KeepWords(const char*, int, const char*, int, const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    alsaWords = text;
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

// Sets the PCM's hardware up: "" or what it refused, as "it does not <verb> ...";
// channelsHint follows a refused count.
std::string SetUpPcm(snd_pcm_t* pcm, const PcmSettings& s, const char* verb,
                     const std::string& channelsHint, snd_pcm_uframes_t* period,
                     snd_pcm_uframes_t* buffer) {
    const std::string does = std::string("it does not ") + verb + " ", its = std::string(verb);
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    int err = snd_pcm_hw_params_any(pcm, hw);
    if (err < 0)
        return "it offers no set-up: " + AlsaWords(err);
    if ((err = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0)
        return "it does not take interleaved transfers: " + AlsaWords(err);
    const snd_pcm_format_t format = AlsaFormat(s.format);
    if (snd_pcm_hw_params_set_format(pcm, hw, format) < 0)
        return does + snd_pcm_format_name(format) + " (it " + its + "s " + OfferedFormats(pcm, hw) +
               "); try the other --format";
    unsigned min = 0, max = 0;
    if (snd_pcm_hw_params_set_channels(pcm, hw, unsigned(s.channels)) < 0) {
        snd_pcm_hw_params_get_channels_min(hw, &min);
        snd_pcm_hw_params_get_channels_max(hw, &max);
        return does + std::to_string(s.channels) + " channels (it " + its + "s " +
               std::to_string(min) + " to " + std::to_string(max) + ")" + channelsHint;
    }
    if (snd_pcm_hw_params_set_rate(pcm, hw, kChipSampleRate, 0) < 0) {
        snd_pcm_hw_params_get_rate_min(hw, &min, nullptr);
        snd_pcm_hw_params_get_rate_max(hw, &max, nullptr);
        return does + "at 48000 Hz (it " + its + "s " + std::to_string(min) + " to " +
               std::to_string(max) + " Hz); a plug PCM converts";
    }
    unsigned bufferUs = unsigned(s.latencyMs) * 1000, periodUs = bufferUs / 4;
    snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &bufferUs, nullptr);
    snd_pcm_hw_params_set_period_time_near(pcm, hw, &periodUs, nullptr);
    if ((err = snd_pcm_hw_params(pcm, hw)) < 0)
        return "it cannot be set up so: " + AlsaWords(err);
    snd_pcm_hw_params_get_period_size(hw, period, nullptr);
    snd_pcm_hw_params_get_buffer_size(hw, buffer);
    return "";
}

// Wakes the transfer for a period of frames or room; a player starts only
// once its buffer is full.
std::string SetUpWakes(snd_pcm_t* pcm, bool startsFull, snd_pcm_uframes_t period,
                       snd_pcm_uframes_t buffer) {
    snd_pcm_sw_params_t* sw;
    snd_pcm_sw_params_alloca(&sw);
    int err;
    if ((err = snd_pcm_sw_params_current(pcm, sw)) < 0 ||
        (startsFull && (err = snd_pcm_sw_params_set_start_threshold(pcm, sw, buffer)) < 0) ||
        (err = snd_pcm_sw_params_set_avail_min(pcm, sw, period)) < 0 ||
        (err = snd_pcm_sw_params(pcm, sw)) < 0)
        return "it cannot be set up so: " + AlsaWords(err);
    return "";
}

} // namespace

void KeepAlsaWords() {
    static std::once_flag quiet;
    std::call_once(quiet, [] { snd_lib_error_set_handler(KeepWords); });
    alsaWords.clear();
}

std::string AlsaWords(int error) {
    std::string words = alsaWords.empty() ? "" : alsaWords + ": ";
    alsaWords.clear();
    return words + snd_strerror(error);
}

snd_pcm_format_t AlsaFormat(WavSampleFormat format) {
    return format == WavSampleFormat::Float32 ? SND_PCM_FORMAT_FLOAT_LE : SND_PCM_FORMAT_S16_LE;
}

snd_pcm_t* OpenPcm(const PcmSettings& s, const PcmDirection& d, snd_pcm_uframes_t* period,
                   snd_pcm_uframes_t* buffer, std::string* error) {
    KeepAlsaWords();
    const std::string named = std::string(d.option) + "=" + s.pcm + ": ";
    snd_pcm_t* pcm = nullptr;
    // Not blocking, so that a busy device is refused rather than waited for.
    if (int err = snd_pcm_open(&pcm, s.pcm.c_str(), d.stream, SND_PCM_NONBLOCK); err < 0) {
        *error = named + "cannot open it: " + AlsaWords(err);
        return nullptr;
    }
    std::string why = SetUpPcm(pcm, s, d.verb, d.channelsHint, period, buffer);
    if (why.empty())
        why = SetUpWakes(pcm, d.startsFull, *period, *buffer);
    if (!why.empty()) {
        snd_pcm_close(pcm);
        *error = named + why;
        return nullptr;
    }
    return pcm;
}

bool RecoverPcm(snd_pcm_t* pcm, snd_pcm_sframes_t error) {
    return (error == -EPIPE || error == -ESTRPIPE || error == -EINTR) &&
           snd_pcm_recover(pcm, int(error), 1) == 0;
}

int WaitForPcm(snd_pcm_t* pcm, std::vector<pollfd>& fds, int ms, unsigned short events) {
    const int count = snd_pcm_poll_descriptors_count(pcm);
    if (count <= 0)
        return count < 0 ? count : -EIO;
    fds.resize(std::size_t(count));
    if (int err = snd_pcm_poll_descriptors(pcm, fds.data(), unsigned(count)); err < 0)
        return err;
    const int ready = poll(fds.data(), nfds_t(count), ms);
    if (ready <= 0)
        return ready < 0 && errno != EINTR ? -errno : 0;
    unsigned short revents = 0;
    if (int err = snd_pcm_poll_descriptors_revents(pcm, fds.data(), unsigned(count), &revents);
        err < 0)
        return err;
    return (revents & (events | POLLERR | POLLNVAL)) ? 1 : 0;
}
