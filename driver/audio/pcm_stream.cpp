#include "pcm_stream.h"

bool PcmStream::Open(const PcmSettings& settings, const PcmDirection& direction, Log heard,
                     std::string* error) {
    snd_pcm_uframes_t period = 0, buffer = 0;
    pcm = OpenPcm(settings, direction, &period, &buffer, error);
    if (!pcm)
        return false;
    name = settings.pcm;
    log = std::move(heard);
    format = settings.format;
    channels = settings.channels;
    periodFrames = int(period);
    bufferFrames = int(buffer);
    return true;
}

void PcmStream::Xrun() {
    report.Count();
    xruns.fetch_add(1, std::memory_order_relaxed);
}

bool PcmStream::Recovered(snd_pcm_sframes_t error) {
    if (!RecoverPcm(pcm, error))
        return false;
    if (error == -EPIPE)
        Xrun();
    return true;
}

void PcmStream::Release() {
    if (!pcm)
        return;
    snd_pcm_drop(pcm);
    snd_pcm_close(pcm);
    pcm = nullptr;
}

void PcmStream::Finish(std::condition_variable& closed) {
    Release();
    std::lock_guard lock(mutex);
    finished = true;
    closed.notify_all();
}
