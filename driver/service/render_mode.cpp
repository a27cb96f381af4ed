#include "render_mode.h"

#include "fx8010_interpreter.h"
#include "offline_render.h"
#include "render_progress.h"
#include "wav_input.h"
#include "wav_recording.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>

namespace {

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", seconds);
    return text;
}

// SIGINT or SIGTERM pending; other signals of the set are let go.
bool StopPending(const sigset_t& signals) {
    const timespec now{0, 0};
    for (;;) {
        int sig = sigtimedwait(&signals, nullptr, &now);
        if (sig < 0)
            return false;
        if (sig == SIGINT || sig == SIGTERM)
            return true;
    }
}

} // namespace

int RenderMode(const ServiceOptions& options, const ChipImage& chip, WavInput* input,
               const sigset_t& stopSignals, const std::function<void(const std::string&)>& say) {
    std::string error;
    std::unique_ptr<WavRecording> file = WavRecording::Create(
        options.outputPath, int(options.record.size()), options.format, &error);
    if (!file) {
        say(error);
        return 1;
    }
    const double total = double(options.renderSamples) / kChipSampleRate;
    say("rendering " + Seconds(total) + " of " + RecordingText(options));

    RenderJob job{chip, input, options.record, options.renderSamples};
    const auto start = std::chrono::steady_clock::now();
    int64_t done = 0;
    {
        RenderProgress progress(job.samples, kChipSampleRate);
        done = RenderOffline(
            job, [&](const int32_t* frames, int count) { return file->Write(frames, count); },
            [&](int64_t done) {
                progress.Show(done);
                return !StopPending(stopSignals);
            });
    }
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    bool closed = file->Close();
    if (!closed || done < job.samples) {
        const std::string held = std::to_string(file->frames()) + " samples (" +
                                 Seconds(double(file->frames()) / kChipSampleRate) + ") of " +
                                 Seconds(total);
        if (!file->error().empty())
            say(options.outputPath + ": " + file->error() + "; it holds " + held);
        else
            say("stopped; " + options.outputPath + " holds the first " + held);
        return 1;
    }
    char speed[96];
    std::snprintf(speed, sizeof speed, " in %.2f s, %.1f times real time on the %s engine", took,
                  took > 0 ? total / took : 0.0,
                  job.engine == Fx8010Engine::kReference ? "reference" : "fast");
    say("rendered " + std::to_string(file->frames()) + " samples (" + Seconds(total) + ") to " +
        options.outputPath + speed);
    return 0;
}
