#include "listening_socket.h"

#include "aps_socket.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

bool MakeAddress(const std::string& path, sockaddr_un& addr) {
    return ApsSocketAddress(path.c_str(), &addr) == 0;
}

// A listener whose backlog is full is there all the same (stopped, perhaps):
// one attempt tells, without waiting on it.
bool SomeoneListens(const std::string& path) {
    const timespec now = ApsDeadlineIn(0);
    int fd = ApsConnectBy(path.c_str(), &now);
    if (fd < 0)
        return errno == ETIMEDOUT;
    close(fd);
    return true;
}

// The lock beside the socket; -1 with *error set when it is taken or fails.
int LockFolderFor(const std::string& path, std::string* error) {
    const std::string lockPath = path + ".lock";
    int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
    if (fd < 0) {
        *error = "cannot open " + lockPath + ": " + std::strerror(errno);
        return -1;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *error = errno == EWOULDBLOCK ? "another service is starting or running at " + path
                                      : "cannot lock " + lockPath + ": " + std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

std::string ListenLocked(const std::string& path, int* fd, ino_t* inode) {
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
        chmod(fresh.c_str(), 0600) != 0 || lstat(fresh.c_str(), &st) != 0 || listen(*fd, 8) != 0 ||
        rename(fresh.c_str(), path.c_str()) != 0) {
        std::string error = "cannot listen at " + path + ": " + std::strerror(errno);
        unlink(fresh.c_str());
        return error;
    }
    if (inode)
        *inode = st.st_ino;
    return "";
}

} // namespace

std::string ListenAt(const std::string& path, int* fd, ino_t* inode) {
    std::string error;
    const int lock = LockFolderFor(path, &error);
    if (lock < 0)
        return error;
    error = ListenLocked(path, fd, inode);
    close(lock);
    return error;
}

void RemoveOwnSocket(const std::string& path, ino_t inode) {
    std::string error;
    const int lock = LockFolderFor(path, &error);
    struct stat st;
    if (lock >= 0 && lstat(path.c_str(), &st) == 0 && st.st_ino == inode)
        unlink(path.c_str());
    if (lock >= 0)
        close(lock);
}

bool AcceptMustRest(int error) {
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

ServedSocket::ServedSocket() : wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

ServedSocket::~ServedSocket() {
    if (fd_ >= 0)
        close(fd_);
    // Only our own socket goes, and not while another service is starting:
    // that one replaces it itself.
    if (!path_.empty())
        RemoveOwnSocket(path_, inode_);
    if (wakeFd_ >= 0)
        close(wakeFd_);
}

std::string ServedSocket::Listen(const std::string& path) {
    if (wakeFd_ < 0)
        return std::string("cannot create an eventfd: ") + std::strerror(errno);
    std::string error = ListenAt(path, &fd_, &inode_);
    if (error.empty())
        path_ = path;
    return error;
}

void ServedSocket::Stop() {
    uint64_t one = 1;
    ssize_t n = write(wakeFd_, &one, sizeof one);
    (void)n;
}
