#include "trace_file.h"

#include <sndfile.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint32_t kTramData = 0x200, kTramAddress = 0x300;

std::string Folder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string WriteCsv(int fd, const TraceTable& table) {
    FILE* out = fdopen(fd, "w");
    if (!out) {
        close(fd);
        return std::strerror(errno);
    }
    std::fputs("sample", out);
    for (const std::string& header : table.headers)
        std::fprintf(out, ",%s", header.c_str());
    std::fputc('\n', out);
    const std::size_t rows = table.columns.empty() ? 0 : table.columns[0].size();
    for (std::size_t row = 0; row < rows; ++row) {
        std::fprintf(out, "%llu", static_cast<unsigned long long>(table.first + row));
        for (std::size_t c = 0; c < table.columns.size(); ++c) {
            const uint32_t reg = table.registers[c];
            const int32_t v = table.columns[c][row];
            // Arithmetic shift: the 20-bit sample keeps its sign.
            std::fprintf(out, ",%d", reg >= kTramData && reg < kTramAddress ? v >> 12 : v);
        }
        std::fputc('\n', out);
    }
    const bool failed = std::ferror(out) != 0;
    const int closed = std::fclose(out);
    return failed || closed != 0 ? std::string("could not write it") : "";
}

std::string WriteWav(int fd, const TraceTable& table, int sampleRate) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = int(table.columns.size());
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (!file) {
        close(fd);
        return sf_strerror(nullptr);
    }
    const std::size_t rows = table.columns.empty() ? 0 : table.columns[0].size();
    std::vector<float> frames;
    frames.reserve(rows * table.columns.size());
    for (std::size_t row = 0; row < rows; ++row)
        for (const auto& column : table.columns)
            frames.push_back(float(double(column[row]) / 2147483648.0));
    const sf_count_t wrote = sf_writef_float(file, frames.data(), sf_count_t(rows));
    std::string error = wrote == sf_count_t(rows) ? "" : sf_strerror(file);
    if (sf_close(file) != 0 && error.empty())
        error = "could not write it";
    return error;
}

} // namespace

bool IsCsvPath(const std::string& path) {
    return path.size() > 4 && path.ends_with(".csv");
}

std::string TraceTargetProblem(const std::string& path) {
    if (path.empty() || path[0] != '/')
        return "'" + path + "' is not an absolute path";
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return path + " is a folder";
        if (S_ISFIFO(st.st_mode))
            return path + " is a FIFO";
        if (!S_ISREG(st.st_mode))
            return path + " is not a regular file";
        if (access(path.c_str(), W_OK) != 0)
            return path + " is not writable";
    }
    const std::string folder = Folder(path);
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return "no folder " + folder;
    if (access(folder.c_str(), W_OK | X_OK) != 0)
        return "cannot write in " + folder;
    return "";
}

std::string WriteTraceFile(const std::string& path, const TraceTable& table, int sampleRate) {
    if (std::string problem = TraceTargetProblem(path); !problem.empty())
        return problem;
    std::string temp = path + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0)
        return "cannot write in " + Folder(path) + ": " + std::strerror(errno);
    fchmod(fd, 0644);
    std::string error = IsCsvPath(path) ? WriteCsv(fd, table) : WriteWav(fd, table, sampleRate);
    if (error.empty() && std::rename(temp.c_str(), path.c_str()) != 0)
        error = std::strerror(errno);
    if (!error.empty()) {
        unlink(temp.c_str());
        return path + ": " + error;
    }
    return "";
}
