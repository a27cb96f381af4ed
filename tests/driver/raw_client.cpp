#include "raw_client.h"

#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

int RawConnect(const std::string& path) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool RawSend(int fd, const void* bytes, std::size_t size) {
    return send(fd, bytes, size, MSG_NOSIGNAL) == ssize_t(size);
}

bool RawSeesHangUp(int fd, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd p = {fd, POLLIN | POLLRDHUP, 0};
        int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                           deadline - std::chrono::steady_clock::now())
                           .count());
        if (poll(&p, 1, std::max(left, 0)) <= 0)
            return false;
        char buf[64];
        ssize_t n = recv(fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n <= 0)
            return n == 0 || (p.revents & (POLLHUP | POLLERR));
    }
}

RawWelcome RawReceiveWelcome(int fd, int timeoutMs) {
    RawWelcome out;
    pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) != 1)
        return out;
    iovec iov = {&out.welcome, sizeof out.welcome};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * APS_WELCOME_MAX_FDS)];
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    ssize_t n = recvmsg(fd, &msg, MSG_CMSG_CLOEXEC | MSG_DONTWAIT);
    out.received = n == ssize_t(sizeof out.welcome);
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c))
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_RIGHTS)
            for (std::size_t k = 0; k < (c->cmsg_len - CMSG_LEN(0)) / sizeof(int); ++k) {
                int one;
                std::memcpy(&one, CMSG_DATA(c) + k * sizeof(int), sizeof one);
                out.fds.push_back(one);
            }
    return out;
}

RawSession::RawSession(const std::string& path) {
    fd_ = RawConnect(path);
    ApsHello hello = {APS_HELLO_MAGIC, APS_PROTOCOL_VERSION};
    if (fd_ < 0 || !RawSend(fd_, &hello, sizeof hello))
        return;
    RawWelcome w = RawReceiveWelcome(fd_, 5000);
    void* p = MAP_FAILED;
    if (w.received && w.welcome.status == APS_WELCOME_OK && !w.fds.empty())
        p = mmap(nullptr, APS_SHARED_CHIP_SIZE, PROT_READ | PROT_WRITE, MAP_SHARED, w.fds[0], 0);
    for (int one : w.fds)
        close(one);
    if (p != MAP_FAILED)
        chip_ = static_cast<ApsSharedChip*>(p);
}

RawSession::~RawSession() {
    if (chip_)
        munmap(chip_, APS_SHARED_CHIP_SIZE);
    if (fd_ >= 0)
        close(fd_);
}
