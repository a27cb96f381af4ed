#include "wav_recording.h"

#include "checked_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

std::unique_ptr<WavRecording> WavRecording::Create(const std::string& path, int channels,
                                                   WavSampleFormat format, std::string* error) {
    auto refuse = [&](const std::string& why) {
        if (error)
            *error = path + ": " + why;
        return nullptr;
    };
    struct stat st;
    auto notAFile = [](const struct stat& st) {
        std::string kind = FileKindProblem(st.st_mode);
        return kind.empty() ? kind : "it is " + kind + ", not a file to record into";
    };
    if (stat(path.c_str(), &st) == 0 && !notAFile(st).empty())
        return refuse(notAFile(st));
    // Checked again on what was opened: without O_NONBLOCK, a FIFO would hold
    // the open until a reader came; without O_TRUNC, it is left as it is.
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0)
        return refuse(std::string("cannot create it: ") + std::strerror(errno));
    std::string why;
    if (fstat(fd, &st) != 0)
        why = std::strerror(errno);
    else if (!notAFile(st).empty())
        why = notAFile(st);
    else if (ftruncate(fd, 0) != 0)
        why = std::string("cannot empty it: ") + std::strerror(errno);
    if (!why.empty()) {
        close(fd);
        return refuse(why);
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);

    SF_INFO info{};
    info.samplerate = kChipSampleRate;
    info.channels = channels;
    info.format =
        SF_FORMAT_WAV | (format == WavSampleFormat::Float32 ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16);
    SNDFILE* sound = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);
    if (!sound) {
        close(fd);
        return refuse(std::string("cannot write it: ") + sf_strerror(nullptr));
    }
    // A float file's PEAK chunk carries the time it was written: without it,
    // the same render twice is the same file.
    sf_command(sound, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    sf_command(sound, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
    std::unique_ptr<WavRecording> recording(new WavRecording);
    recording->path_ = path;
    recording->fd_ = fd;
    recording->sound_ = sound;
    recording->channels_ = channels;
    recording->format_ = format;
    return recording;
}

WavRecording::~WavRecording() {
    Close();
}

bool WavRecording::Fail(const std::string& why) {
    if (error_.empty())
        error_ = why;
    return false;
}

bool WavRecording::Write(const int32_t* frames, int64_t count) {
    if (!sound_ || !error_.empty())
        return false;
    int64_t room = MaxWavFrames(channels_, format_) - frames_;
    int64_t take = std::min(count, room);
    std::size_t values = std::size_t(take) * std::size_t(channels_);
    sf_count_t written = 0;
    if (format_ == WavSampleFormat::Float32) {
        floats_.resize(values);
        std::transform(frames, frames + values, floats_.begin(), FloatFromQ31);
        written = sf_writef_float(sound_, floats_.data(), take);
    } else {
        shorts_.resize(values);
        std::transform(frames, frames + values, shorts_.begin(), Pcm16FromQ31);
        written = sf_writef_short(sound_, shorts_.data(), take);
    }
    frames_ += written;
    if (written < take)
        return Fail(std::string("cannot write it: ") + sf_strerror(sound_));
    if (take < count)
        return Fail("it reached the 4 GiB that a WAV file holds after " + std::to_string(frames_) +
                    " samples");
    return true;
}

bool WavRecording::Close() {
    if (!sound_)
        return error_.empty();
    int closed = sf_close(sound_);
    sound_ = nullptr;
    if (closed != 0)
        Fail(std::string("cannot finish it: ") + sf_error_number(closed));
    if (close(fd_) != 0)
        Fail(std::string("cannot finish it: ") + std::strerror(errno));
    fd_ = -1;
    return error_.empty();
}
