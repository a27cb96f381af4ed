#include "checked_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string FileKindProblem(uint32_t mode) {
    if (S_ISREG(mode))
        return "";
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

CheckedFile::CheckedFile(const std::string& path, uint64_t maxBytes) : maxBytes_(maxBytes) {
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
        error_ = std::strerror(errno);
    } else if (std::string kind = FileKindProblem(st.st_mode); !kind.empty()) {
        error_ = "it is " + kind;
    } else if (uint64_t(st.st_size) > maxBytes) {
        error_ = "it is too large (" + std::to_string(st.st_size) + " bytes; at most " +
                 std::to_string(maxBytes) + ")";
    }
    if (!error_.empty()) {
        if (fd >= 0)
            close(fd);
        return;
    }
    fd_ = fd;
    size_ = uint64_t(st.st_size);
}

CheckedFile::~CheckedFile() {
    if (fd_ >= 0)
        close(fd_);
}

std::optional<std::string> CheckedFile::ReadAll() {
    if (fd_ < 0)
        return std::nullopt;
    std::string bytes;
    char buffer[65536];
    for (;;) {
        ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error_ = std::strerror(errno);
            return std::nullopt;
        }
        if (n == 0)
            return bytes;
        if (bytes.size() + std::size_t(n) > maxBytes_) {
            error_ = "it grew too large while being read (at most " + std::to_string(maxBytes_) +
                     " bytes)";
            return std::nullopt;
        }
        bytes.append(buffer, std::size_t(n));
    }
}

std::optional<std::string> ReadCheckedFile(const std::string& path, uint64_t maxBytes,
                                           std::string* error) {
    CheckedFile file(path, maxBytes);
    std::optional<std::string> bytes = file.ReadAll();
    if (!bytes && error)
        *error = file.error();
    return bytes;
}
