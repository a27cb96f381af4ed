#include "trace_file.h"

#include "trace_stats.h"

#include <sndfile.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint32_t kTramData = 0x200, kTramAddress = 0x300;
// Links followed at most, as the system itself does.
constexpr int kMaxLinks = 40;

std::string Folder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool MayWrite(const std::string& path, int how) {
    return faccessat(AT_FDCWD, path.c_str(), how, AT_EACCESS) == 0;
}

} // namespace

bool IsCsvPath(const std::string& path) {
    return path.size() > 4 && path.ends_with(".csv");
}

std::string ResolveTraceTarget(const std::string& path, TraceTarget* target) {
    if (path.empty() || path[0] != '/')
        return "'" + path + "' is not an absolute path";
    std::string file = path;
    struct stat st {};
    int found = lstat(file.c_str(), &st);
    for (int links = 0; found == 0 && S_ISLNK(st.st_mode); ++links) {
        char to[PATH_MAX];
        const ssize_t n = readlink(file.c_str(), to, sizeof to);
        if (links == kMaxLinks || n < 0 || n == ssize_t(sizeof to))
            return path + ": " +
                   std::strerror(links == kMaxLinks ? ELOOP
                                 : n < 0            ? errno
                                                    : ENAMETOOLONG);
        file = to[0] == '/' ? std::string(to, std::size_t(n))
                            : Folder(file) + "/" + std::string(to, std::size_t(n));
        found = lstat(file.c_str(), &st);
    }
    if (found != 0 && errno != ENOENT)
        return path + ": " + std::strerror(errno);
    *target = TraceTarget{path, file};
    if (found == 0) {
        if (S_ISDIR(st.st_mode))
            return path + " is a folder";
        if (S_ISFIFO(st.st_mode))
            return path + " is a FIFO";
        if (!S_ISREG(st.st_mode))
            return path + " is not a regular file";
        if (!MayWrite(file, W_OK))
            return path + " is not writable";
        target->exists = true;
        target->mode = st.st_mode & 07777;
        target->owner = st.st_uid;
        target->group = st.st_gid;
    }
    const std::string folder = Folder(file);
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return "no folder " + folder;
    if (!MayWrite(folder, W_OK | X_OK))
        return "cannot write in " + folder;
    return "";
}

TraceWriter::~TraceWriter() {
    Abandon();
}

void TraceWriter::Abandon() {
    if (csv_)
        std::fclose(csv_);
    if (wav_)
        sf_close(wav_);
    csv_ = nullptr;
    wav_ = nullptr;
    if (!temp_.empty())
        unlink(temp_.c_str());
    temp_.clear();
}

std::string TraceWriter::Open(const TraceTarget& target, const std::vector<uint32_t>& registers,
                              const std::vector<std::string>& headers, int sampleRate) {
    Abandon();
    target_ = target;
    registers_ = registers;
    std::string temp = target.file + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0)
        return "cannot write in " + Folder(target.file) + ": " + std::strerror(errno);
    temp_ = temp;
    // The owner first: a change of owner clears the set-ID bits.
    if (target.exists && fchown(fd, target.owner, target.group) != 0) {
        // Not ours to give away: the file becomes the user's, as any they write.
    }
    fchmod(fd, target.mode);
    if (IsCsvPath(target.path)) {
        csv_ = fdopen(fd, "w");
        if (!csv_) {
            close(fd);
            return target.path + ": " + std::strerror(errno);
        }
        std::string header = "sample";
        for (const std::string& name : headers)
            header += "," + name;
        header += '\n';
        std::fputs(header.c_str(), csv_);
        return "";
    }
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = int(registers.size());
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    wav_ = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (!wav_) {
        close(fd);
        return target.path + ": " + sf_strerror(nullptr);
    }
    return "";
}

std::string TraceWriter::Write(uint64_t first, const int32_t* values, int64_t rows,
                               std::size_t stride) {
    const std::size_t channels = registers_.size();
    if (wav_) {
        frames_.resize(std::size_t(rows) * channels);
        for (int64_t row = 0; row < rows; ++row)
            for (std::size_t c = 0; c < channels; ++c)
                frames_[std::size_t(row) * channels + c] =
                    float(TraceFraction(values[std::size_t(row) * stride + c]));
        if (sf_writef_float(wav_, frames_.data(), rows) != rows)
            return target_.path + ": " + sf_strerror(wav_);
        return "";
    }
    char number[24];
    auto put = [&](auto value) {
        line_.append(number, std::to_chars(number, number + sizeof number, value).ptr);
    };
    line_.clear();
    for (int64_t row = 0; row < rows; ++row) {
        put(first + uint64_t(row));
        for (std::size_t c = 0; c < channels; ++c) {
            const int32_t v = values[std::size_t(row) * stride + c];
            line_ += ',';
            // Arithmetic shift: the 20-bit sample keeps its sign.
            put(registers_[c] >= kTramData && registers_[c] < kTramAddress ? v >> 12 : v);
        }
        line_ += '\n';
    }
    std::fwrite(line_.data(), 1, line_.size(), csv_);
    return std::ferror(csv_) ? target_.path + ": could not write it" : "";
}

std::string TraceWriter::Finish() {
    std::string error;
    if (csv_) {
        const bool failed = std::ferror(csv_) != 0;
        if (std::fclose(csv_) != 0 || failed)
            error = "could not write it";
        csv_ = nullptr;
    }
    if (wav_) {
        if (sf_close(wav_) != 0)
            error = "could not write it";
        wav_ = nullptr;
    }
    if (error.empty() && std::rename(temp_.c_str(), target_.file.c_str()) != 0)
        error = std::strerror(errno);
    if (!error.empty()) {
        Abandon();
        return target_.path + ": " + error;
    }
    temp_.clear();
    return "";
}
