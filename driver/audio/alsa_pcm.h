// What playing and capturing through ALSA share: alsa-lib's words for an
// error, and setting a PCM up for the chip's samples (48 kHz, interleaved,
// FLOAT_LE or S16_LE) without converting anything, refusing in the device's
// own words what it does not take.
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

// Sets the PCM up: "" or what it refused, as "it does not <verb> ..."
// (verb is "play" or "record"); channelsHint follows a refused count.
std::string SetUpPcm(snd_pcm_t* pcm, const PcmSettings& s, const char* verb,
                     const std::string& channelsHint, snd_pcm_uframes_t* period,
                     snd_pcm_uframes_t* buffer);

// Waits up to ms for the PCM's poll to show `events`: 1 when it did, 0 when
// it did not (in time, or it woke without them), or an error. An error of
// the device shows as 1: the next transfer says it in the device's words.
int WaitForPcm(snd_pcm_t* pcm, std::vector<pollfd>& fds, int ms, unsigned short events);
