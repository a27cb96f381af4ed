// What every end of the service's Unix-domain sockets shares: the address
// built from a path, a connect that keeps to a time limit, and the check that
// the peer runs as the same user.
#ifndef APS_SOCKET_H
#define APS_SOCKET_H

#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>

#ifdef __cplusplus
extern "C" {
#endif

// Fills addr for path; returns 0, or 1 when the path does not fit.
int ApsSocketAddress(const char* path, struct sockaddr_un* addr);
// A moment timeoutMs from now on the monotonic clock, and the milliseconds
// left until one (never below 0).
struct timespec ApsDeadlineIn(int timeoutMs);
int ApsMsLeft(const struct timespec* deadline);
// Connects a new socket (close-on-exec and non-blocking) to the service
// listening at path, waiting while its backlog is full, but not past the
// deadline. Returns the socket, or -1 with errno: ETIMEDOUT when a listener
// stayed full, else what connect said (ECONNREFUSED: nobody listens).
int ApsConnectBy(const char* path, const struct timespec* deadline);
// 1 when the process at the other end of a connected socket runs as this
// process's effective user; 0 when it does not or cannot be told.
int ApsPeerIsOwnUser(int fd);
// The peer's user id, or -1 when it cannot be told.
long ApsPeerUid(int fd);

#ifdef __cplusplus
}
#endif

#endif
