#define _GNU_SOURCE
#include "aps_socket.h"

#include <string.h>
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
