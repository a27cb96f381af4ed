// The two checks every end of the service's Unix-domain sockets makes: the
// address built from a path, and that the peer runs as the same user.
#ifndef APS_SOCKET_H
#define APS_SOCKET_H

#include <sys/socket.h>
#include <sys/un.h>

#ifdef __cplusplus
extern "C" {
#endif

// Fills addr for path; returns 0, or 1 when the path does not fit.
int ApsSocketAddress(const char* path, struct sockaddr_un* addr);
// 1 when the process at the other end of a connected socket runs as this
// process's effective user; 0 when it does not or cannot be told.
int ApsPeerIsOwnUser(int fd);
// The peer's user id, or -1 when it cannot be told.
long ApsPeerUid(int fd);

#ifdef __cplusplus
}
#endif

#endif
