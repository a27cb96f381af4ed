// Reading a file that the system was given (a chip image, a patch, the symbol
// file, the effects library) without letting it hang or swamp the reader: it
// is opened without blocking and must be a regular file of a size that fits
// what it should hold, or it is refused at once, before any of it is read,
// with a message that names the path and what it is instead.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What a path is when it is not a regular file ("a folder", "a FIFO", "a
// device", "a socket"), or "" when it is one.
std::string FileKindProblem(uint32_t mode);

// An open regular file; closed with the object.
class CheckedFile {
  public:
    // Opens path for reading without blocking. error() says why it was
    // refused, for the caller to put after the path: it cannot be opened
    // (the system's reason), is not a regular file ("it is a FIFO"), or is
    // larger than maxBytes ("it is too large (N bytes; at most M)").
    CheckedFile(const std::string& path, uint64_t maxBytes);
    ~CheckedFile();
    CheckedFile(const CheckedFile&) = delete;
    CheckedFile& operator=(const CheckedFile&) = delete;

    bool ok() const { return fd_ >= 0; }
    const std::string& error() const { return error_; }
    int fd() const { return fd_; }
    uint64_t size() const { return size_; }

    // Hands the open file over to the caller, who closes it.
    int Release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

    // The whole file; nullopt (and error() set) when reading fails or the
    // file grew past its limit meanwhile.
    std::optional<std::string> ReadAll();

  private:
    uint64_t maxBytes_;
    int fd_ = -1;
    uint64_t size_ = 0;
    std::string error_;
};

// The whole of a regular file of at most maxBytes, or the reason for the
// refusal in error.
std::optional<std::string> ReadCheckedFile(const std::string& path, uint64_t maxBytes,
                                           std::string* error);
