#include "listening_socket.h"

#include "aps_socket.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

bool MakeAddress(const std::string& path, sockaddr_un& addr) {
    return ApsSocketAddress(path.c_str(), &addr) == 0;
}

bool SomeoneListens(const std::string& path) {
    sockaddr_un addr;
    if (!MakeAddress(path, addr))
        return false;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    bool listening = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return listening;
}

} // namespace

std::string ListenAt(const std::string& path, int* fd) {
    const std::string fresh = path + ".new";
    sockaddr_un addr, freshAddr;
    if (!MakeAddress(path, addr) || !MakeAddress(fresh, freshAddr))
        return "the socket path " + path + " is too long";
    struct stat st;
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode))
            return path + " exists and is not a socket";
        if (SomeoneListens(path))
            return "another service already listens at " + path;
        unlink(path.c_str());
    }
    *fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (*fd < 0)
        return std::string("cannot create a socket: ") + std::strerror(errno);
    // Bound and listening under another name first, so that the socket
    // accepts as soon as its real name exists.
    unlink(fresh.c_str());
    if (bind(*fd, reinterpret_cast<sockaddr*>(&freshAddr), sizeof freshAddr) != 0 ||
        chmod(fresh.c_str(), 0600) != 0 || listen(*fd, 8) != 0 ||
        rename(fresh.c_str(), path.c_str()) != 0) {
        std::string error = "cannot listen at " + path + ": " + std::strerror(errno);
        unlink(fresh.c_str());
        return error;
    }
    return "";
}
