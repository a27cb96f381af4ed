#define _GNU_SOURCE
#include "aps_socket.h"

#include <errno.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

int ApsSocketAddress(const char* path, struct sockaddr_un* addr) {
    size_t len = strlen(path);
    memset(addr, 0, sizeof *addr);
    addr->sun_family = AF_UNIX;
    if (len >= sizeof addr->sun_path)
        return 1;
    memcpy(addr->sun_path, path, len + 1);
    return 0;
}

long ApsPeerUid(int fd) {
    struct ucred cred;
    socklen_t len = sizeof cred;
    memset(&cred, 0, sizeof cred);
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || len != sizeof cred)
        return -1;
    return (long)cred.uid;
}

int ApsPeerIsOwnUser(int fd) {
    long uid = ApsPeerUid(fd);
    return uid >= 0 && (uid_t)uid == geteuid();
}

struct timespec ApsDeadlineIn(int timeoutMs) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    t.tv_sec += timeoutMs / 1000;
    t.tv_nsec += (long)(timeoutMs % 1000) * 1000000;
    if (t.tv_nsec >= 1000000000) {
        t.tv_sec += 1;
        t.tv_nsec -= 1000000000;
    }
    return t;
}

int ApsMsLeft(const struct timespec* deadline) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    long long ms = (long long)(deadline->tv_sec - now.tv_sec) * 1000 +
                   (deadline->tv_nsec - now.tv_nsec) / 1000000;
    return ms > 0 ? (int)ms : 0;
}

int ApsConnectBy(const char* path, const struct timespec* deadline) {
    struct sockaddr_un addr;
    if (ApsSocketAddress(path, &addr) != 0) {
        errno = ENAMETOOLONG;
        return -1;
    }
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    // A full backlog makes a non-blocking AF_UNIX connect fail at once with
    // EAGAIN, where a blocking one would wait for the listener without limit.
    for (;;) {
        if (connect(fd, (struct sockaddr*)&addr, sizeof addr) == 0)
            return fd;
        int error = errno;
        if (error == EAGAIN || error == EINTR) {
            int left = ApsMsLeft(deadline);
            if (left > 0) {
                struct timespec pause = {0, (left < 2 ? left : 2) * 1000000L};
                nanosleep(&pause, NULL);
                continue;
            }
            error = ETIMEDOUT;
        }
        close(fd);
        errno = error;
        return -1;
    }
}
