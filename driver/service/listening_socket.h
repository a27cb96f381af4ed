// A listening Unix-domain socket at a path of the service's own: refused
// when another service listens there, and accepting as soon as its name
// exists. Both of the service's sockets are made this way.
#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>

// Listens at path (mode 0600, non-blocking); *fd receives the socket and
// *inode (when given) its file's. Check, bind and rename happen under an
// flock on path.lock, so of two services starting at once one says another
// is starting or running. Returns an error text, or "" on success.
std::string ListenAt(const std::string& path, int* fd, ino_t* inode = nullptr);

// Removes the socket at path if it is still the one of that inode and no
// other service is starting there (which replaces it itself).
void RemoveOwnSocket(const std::string& path, ino_t inode);

// An accept that failed for want of descriptors or memory leaves the
// connection queued and the socket readable: rather than poll it hot, the
// server rests this long before it tries again.
constexpr std::chrono::milliseconds kAcceptRest{100};
bool AcceptMustRest(int error);
