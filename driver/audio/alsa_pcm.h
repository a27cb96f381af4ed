// What playing and capturing through ALSA share: alsa-lib's words for an
// error, opening a PCM and setting it up for the chip's samples (48 kHz,
// interleaved, FLOAT_LE or S16_LE) without converting anything, refusing in
// the device's own words what it does not take, recovering its xruns, and
// waiting for it.
#pragma once

#include "pcm_settings.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <string>
#include <vector>

// Sends alsa-lib's messages to the next AlsaWords instead of standard error;
// once per process, before the first open.
void KeepAlsaWords();
// The device's words for an error: alsa-lib's message when it gave one.
std::string AlsaWords(int error);

snd_pcm_format_t AlsaFormat(WavSampleFormat format);

// What a direction asks of a PCM besides the chip's samples, and how its
// refusals name it.
struct PcmDirection {
    snd_pcm_stream_t stream;
    const char* option;       // "--play": the PCM is named as "--play=default"
    const char* verb;         // "play" or "record": "it does not play ..."
    const char* channelsHint; // said after a refused channel count
    bool startsFull;          // starts once its buffer is full, not at the first transfer
};

// Opens and sets up the PCM, its transfers woken a period at a time; nullptr
// with the reason, naming the PCM, when it cannot be.
snd_pcm_t* OpenPcm(const PcmSettings& s, const PcmDirection& d, snd_pcm_uframes_t* period,
                   snd_pcm_uframes_t* buffer, std::string* error);

// After an error of a transfer: true when it was an xrun, a suspend or an
// interrupted call, and the PCM recovered from it; false when the device is gone.
bool RecoverPcm(snd_pcm_t* pcm, snd_pcm_sframes_t error);

// Waits up to ms for the PCM's poll to show `events`: 1 when it did, 0 when
// it did not (in time, or it woke without them), or an error. An error of
// the device shows as 1: the next transfer says it in the device's words.
int WaitForPcm(snd_pcm_t* pcm, std::vector<pollfd>& fds, int ms, unsigned short events);
