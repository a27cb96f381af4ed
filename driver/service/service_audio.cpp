#include "service_audio.h"

#include <sys/stat.h>

namespace {

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

} // namespace

std::unique_ptr<ServiceAudio> ServiceAudio::Open(const ServiceOptions& options,
                                                 AlsaPlayback::Log log, std::string* error) {
    std::unique_ptr<ServiceAudio> audio(new ServiceAudio);
    audio->options_ = options;
    if (!options.inputPath.empty()) {
        if (!options.outputPath.empty() && SameFile(options.inputPath, options.outputPath)) {
            *error =
                options.outputPath + ": it is the input file; recording into it would destroy it";
            return nullptr;
        }
        audio->input_ = WavInput::Open(options.inputPath, !options.once, error);
        if (!audio->input_)
            return nullptr;
    }
    if (!options.playPcm.empty()) {
        PlaybackSettings settings{options.playPcm, int(options.recordList.size()), options.format,
                                  options.latencyMs};
        audio->playback_ = AlsaPlayback::Open(settings, log, error);
        if (!audio->playback_)
            return nullptr;
    }
    if (!options.capturePcm.empty()) {
        const PcmSettings settings{options.capturePcm, 2, options.format, options.latencyMs};
        audio->capture_ = AlsaCapture::Open(settings, log, error);
        if (!audio->capture_)
            return nullptr;
        audio->captured_ = std::make_unique<CaptureInput>(*audio->capture_);
    }
    return audio;
}

DspStreams ServiceAudio::streams() {
    const bool heard = recording_ || playback_;
    BusSource* input = captured_ ? static_cast<BusSource*>(captured_.get()) : input_.get();
    return {input, heard ? options_.record : std::vector<uint32_t>{}, recording_.get(),
            playback_.get(), captured_.get()};
}

std::string ServiceAudio::PlayingText() const {
    if (!playback_)
        return "";
    auto ms = [](int frames) { return std::to_string(frames * 1000 / kChipSampleRate) + " ms"; };
    return "playing " + OutputsText(options_) + " through " + options_.playPcm +
           (options_.format == WavSampleFormat::Float32 ? " as FLOAT_LE" : " as S16_LE") +
           " at 48000 Hz: periods of " + std::to_string(playback_->periodFrames()) + " samples (" +
           ms(playback_->periodFrames()) + "), a buffer of " +
           std::to_string(playback_->bufferFrames()) + " (" + ms(playback_->bufferFrames()) + ")";
}

std::string ServiceAudio::CapturingText() const {
    if (!capture_)
        return "";
    auto ms = [](int frames) { return std::to_string(frames * 1000 / kChipSampleRate) + " ms"; };
    return "capturing the effects bus 0x00,0x01 from " + options_.capturePcm +
           (options_.format == WavSampleFormat::Float32 ? " as FLOAT_LE" : " as S16_LE") +
           " at 48000 Hz: periods of " + std::to_string(capture_->periodFrames()) + " samples (" +
           ms(capture_->periodFrames()) + "), a buffer of " +
           std::to_string(capture_->bufferFrames()) + " (" + ms(capture_->bufferFrames()) + ")" +
           (capture_->clocked() ? ""
                                : "; it has no clock of its own, so it is read as the chip runs");
}

std::string ServiceAudio::StartRecording(RecordingQueue::Log log) {
    if (options_.outputPath.empty())
        return "";
    std::string error;
    std::unique_ptr<WavRecording> file = WavRecording::Create(
        options_.outputPath, int(options_.record.size()), options_.format, &error);
    if (!file)
        return error;
    recording_ = std::make_unique<RecordingQueue>(std::move(file), options_.record, std::move(log));
    return "";
}

std::vector<std::string> ServiceAudio::Finish() {
    std::vector<std::string> said;
    const bool paced = playback_ != nullptr; // the capture kept in time with it
    if (recording_)
        said.push_back(recording_->Finish());
    if (playback_) {
        playback_->Close();
        said.push_back(playback_->Summary());
        playback_.reset();
    }
    if (capture_) {
        capture_->Close();
        said.push_back(capture_->Summary() + "; " + CorrectionsText() +
                       (paced ? "; at most " + std::to_string(captured_->mostWaiting()) +
                                    " samples waited for the chip to hear them"
                              : ""));
    }
    return said;
}

std::string ServiceAudio::CorrectionsText() const {
    return std::to_string(captured_->dropped()) + " frames dropped and " +
           std::to_string(captured_->repeated()) + " repeated";
}

std::string ServiceAudio::PlayingState() const {
    std::string state;
    if (playback_)
        state = playback_->lost()
                    ? "the sound device went away"
                    : "playing, " + std::to_string(playback_->underruns()) + " underruns";
    if (capture_)
        state += (state.empty() ? "" : "; ") +
                 (capture_->lost() ? std::string("the capture device went away")
                                   : "capturing, " + std::to_string(capture_->overruns()) +
                                         " overruns, " + CorrectionsText());
    return state;
}
