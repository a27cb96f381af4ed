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

// A socket the service serves on and the eventfd that ends its loop: made
// at a path of its own (and removed while still its own) or handed over.
class ServedSocket {
  public:
    ServedSocket();
    ~ServedSocket();
    ServedSocket(const ServedSocket&) = delete;
    ServedSocket& operator=(const ServedSocket&) = delete;

    // Listens at path as ListenAt does; "" or the error.
    std::string Listen(const std::string& path);
    // Serves on a listening socket that someone else made and owns (socket
    // activation): it is neither named nor removed here.
    void Adopt(int listeningFd) { fd_ = listeningFd; }
    // Wakes the loop that polls wakeFd(); safe from any thread and from a
    // signal handler.
    void Stop();
    int fd() const { return fd_; }
    int wakeFd() const { return wakeFd_; }

  private:
    int fd_ = -1;
    int wakeFd_ = -1;
    std::string path_; // set when the socket is this one's own
    ino_t inode_ = 0;
};
