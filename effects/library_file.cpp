#include "library_file.h"

#include "checked_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

LibraryFile::~LibraryFile() {
    Close();
}

bool LibraryFile::Open(const std::string& path) {
    Close();
    // The reader streams, so the library may be of any size; but it must be a
    // regular file, opened without waiting for a FIFO's writer.
    CheckedFile file(path, UINT64_MAX);
    if (!file.ok())
        return false;
    length_ = int64_t(file.size());
    fd_ = file.Release();
    return true;
}

void LibraryFile::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    length_ = 0;
}

bool LibraryFile::ReadAt(int64_t offset, void* into, std::size_t count) const {
    if (fd_ < 0 || offset < 0 || offset > length_ ||
        count > static_cast<uint64_t>(length_ - offset))
        return false;
    auto* out = static_cast<char*>(into);
    while (count > 0) {
        ssize_t got = ::pread(fd_, out, count, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        out += got;
        offset += got;
        count -= static_cast<std::size_t>(got);
    }
    return true;
}
