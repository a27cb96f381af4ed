#include "offline_render.h"

#include "audio_block.h"
#include "fx8010_interpreter.h"

#include <algorithm>

namespace {

// No one else touches the registers here, so a block can be long: the
// interpreter's pick and put of registers then costs next to nothing.
constexpr int kBlockSamples = 1024;

} // namespace

int64_t RenderOffline(RenderJob& job,
                      const std::function<bool(const int32_t* frames, int count)>& written,
                      const std::function<bool(int64_t done)>& proceed) {
    Fx8010Interpreter dsp;
    job.engine = dsp.engine();
    dsp.SetBusSource(job.input);
    AudioBlock audio(job.record, kBlockSamples);
    int64_t done = 0;
    while (done < job.samples) {
        int samples = int(std::min<int64_t>(kBlockSamples, job.samples - done));
        dsp.Run(job.chip, samples, audio.Before());
        done += samples;
        if (!written(audio.Recorded(samples), samples) || !proceed(done))
            break;
    }
    return done;
}
