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
                                                 std::string* error) {
    std::unique_ptr<ServiceAudio> audio(new ServiceAudio);
    audio->options_ = options;
    if (options.inputPath.empty())
        return audio;
    if (!options.outputPath.empty() && SameFile(options.inputPath, options.outputPath)) {
        *error = options.outputPath + ": it is the input file; recording into it would destroy it";
        return nullptr;
    }
    audio->input_ = WavInput::Open(options.inputPath, !options.once, error);
    return audio->input_ ? std::move(audio) : nullptr;
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

std::string ServiceAudio::Finish() {
    return recording_ ? recording_->Finish() : "";
}
