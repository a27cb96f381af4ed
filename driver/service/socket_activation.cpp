#include "socket_activation.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const int kFirstHandedFd = 3;

bool ParseCount(const char* text, long* value) {
    if (!text || !*text)
        return false;
    char* end = nullptr;
    *value = std::strtol(text, &end, 10);
    return *end == '\0';
}

int SocketOption(int fd, int option) {
    int value = 0;
    socklen_t length = sizeof value;
    if (getsockopt(fd, SOL_SOCKET, option, &value, &length) != 0)
        return -1;
    return value;
}

// Whether fd is bound to a path ending in the control socket's name.
bool IsControlSocket(int fd) {
    sockaddr_un addr{};
    socklen_t length = sizeof addr;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) != 0)
        return false;
    std::string path(addr.sun_path, strnlen(addr.sun_path, sizeof addr.sun_path));
    return path.ends_with("/emuaps.ctl") || path == "emuaps.ctl";
}

} // namespace

ActivatedSocket TakeActivatedSocket() {
    ActivatedSocket activated;
    long pid = 0, count = 0;
    const bool forUs = ParseCount(std::getenv("LISTEN_PID"), &pid) && pid == long(getpid()) &&
                       ParseCount(std::getenv("LISTEN_FDS"), &count);
    unsetenv("LISTEN_PID");
    unsetenv("LISTEN_FDS");
    unsetenv("LISTEN_FDNAMES");
    if (!forUs || count == 0)
        return activated;
    if (count > 2) {
        activated.error = "socket activation handed over " + std::to_string(count) +
                          " sockets; the service listens on its device and its control socket";
        return activated;
    }
    for (int fd = kFirstHandedFd; fd < kFirstHandedFd + count; ++fd) {
        if (SocketOption(fd, SO_DOMAIN) != AF_UNIX || SocketOption(fd, SO_TYPE) != SOCK_STREAM ||
            SocketOption(fd, SO_ACCEPTCONN) != 1) {
            activated.error = "a socket handed over is not a listening Unix-domain stream socket";
            return activated;
        }
        int& role = IsControlSocket(fd) ? activated.controlFd : activated.fd;
        if (role >= 0) {
            activated.error = "socket activation handed over two sockets of one kind";
            return activated;
        }
        // The service's loops poll and accept without blocking.
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        role = fd;
    }
    if (activated.fd < 0)
        activated.error = "socket activation handed over no device socket";
    return activated;
}
