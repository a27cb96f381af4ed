#include "socket_activation.h"

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/socket.h>
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
    if (count != 1) {
        activated.error = "socket activation handed over " + std::to_string(count) +
                          " sockets; the service listens on one";
        return activated;
    }
    const int fd = kFirstHandedFd;
    if (SocketOption(fd, SO_DOMAIN) != AF_UNIX || SocketOption(fd, SO_TYPE) != SOCK_STREAM ||
        SocketOption(fd, SO_ACCEPTCONN) != 1) {
        activated.error = "the socket handed over is not a listening Unix-domain stream socket";
        return activated;
    }
    // The service's loop polls and accepts without blocking.
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    activated.fd = fd;
    return activated;
}
