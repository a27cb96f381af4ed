#include "program_symbols_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

ProgramSymbolsFile::~ProgramSymbolsFile() {
    if (written_)
        unlink(path_.c_str());
}

std::string ProgramSymbolsFile::Replace(const std::string& text) {
    const std::string fresh = path_ + ".new";
    // Never follow a link someone left at the name.
    int fd = open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return "cannot write " + fresh + ": " + std::strerror(errno);
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += std::size_t(n);
    }
    const int closed = close(fd);
    if (done != text.size() || closed != 0 || rename(fresh.c_str(), path_.c_str()) != 0) {
        std::string error = "cannot write " + path_ + ": " + std::strerror(errno);
        unlink(fresh.c_str());
        return error;
    }
    written_ = true;
    return "";
}
