#include "aps_service.h"

#include "aps_channel.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

bool MakeAddress(const std::string& path, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path)
        return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool SomeoneListens(const std::string& path) {
    sockaddr_un addr;
    if (!MakeAddress(path, addr))
        return false;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    bool listening = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return listening;
}

void SendWelcome(int fd, uint32_t status, int slotFd, bool& sent) {
    ApsWelcome welcome = {APS_HELLO_MAGIC, APS_PROTOCOL_VERSION, status, APS_SLOT_SIZE};
    iovec iov = {&welcome, sizeof welcome};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
    if (slotFd >= 0) {
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&msg);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(c), &slotFd, sizeof(int));
    }
    sent = sendmsg(fd, &msg, MSG_NOSIGNAL | MSG_DONTWAIT) == ssize_t(sizeof welcome);
}

// A sealed memfd: the client can scribble on the slot but never shrink it
// under the service.
int CreateSlotFd() {
    int fd = memfd_create("emuaps-slot", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0)
        return -1;
    if (ftruncate(fd, APS_SLOT_SIZE) != 0 ||
        fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

struct ApsService::Client {
    int fd = -1;
    Clock::time_point helloDeadline;
    ApsHello hello{};
    std::size_t helloBytes = 0;
    ApsSlot* slot = nullptr;
    std::unique_ptr<SlotWorker> worker;

    bool welcomed = false;
};

ApsService::ApsService(ChipBackend& chip, ApsServiceOptions options)
    : chip_(chip), options_(std::move(options)) {
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

ApsService::~ApsService() {
    if (client_)
        Drop("the service stops");
    if (listenFd_ >= 0)
        close(listenFd_);
    if (socketCreated_)
        unlink(options_.socketPath.c_str());
    if (wakeFd_ >= 0)
        close(wakeFd_);
}

std::string ApsService::Listen() {
    const std::string& path = options_.socketPath;
    const std::string fresh = path + ".new";
    sockaddr_un addr, freshAddr;
    if (!MakeAddress(path, addr) || !MakeAddress(fresh, freshAddr))
        return "the socket path " + path + " is too long";
    if (wakeFd_ < 0)
        return std::string("cannot create an eventfd: ") + std::strerror(errno);
    struct stat st;
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode))
            return path + " exists and is not a socket";
        if (SomeoneListens(path))
            return "another service already listens at " + path;
        unlink(path.c_str());
    }
    listenFd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd_ < 0)
        return std::string("cannot create a socket: ") + std::strerror(errno);
    // Bound and listening under another name first, so that the socket
    // accepts as soon as its real name exists.
    unlink(fresh.c_str());
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&freshAddr), sizeof freshAddr) != 0 ||
        chmod(fresh.c_str(), 0600) != 0 || listen(listenFd_, 8) != 0 ||
        rename(fresh.c_str(), path.c_str()) != 0) {
        std::string error = "cannot listen at " + path + ": " + std::strerror(errno);
        unlink(fresh.c_str());
        return error;
    }
    socketCreated_ = true;
    return "";
}

void ApsService::Stop() {
    uint64_t one = 1;
    ssize_t n = write(wakeFd_, &one, sizeof one);
    (void)n;
}

void ApsService::Run() {
    for (;;) {
        pollfd fds[3] = {{wakeFd_, POLLIN, 0}, {listenFd_, POLLIN, 0}, {-1, 0, 0}};
        int timeout = -1;
        if (client_) {
            fds[2] = {client_->fd, POLLIN | POLLRDHUP, 0};
            if (!client_->welcomed) {
                auto left = std::chrono::ceil<std::chrono::milliseconds>(client_->helloDeadline -
                                                                         Clock::now());
                timeout = int(std::max<int64_t>(0, left.count()));
            }
        }
        if (poll(fds, 3, timeout) < 0 && errno != EINTR)
            return;
        if (fds[0].revents) {
            uint64_t count;
            ssize_t n = read(wakeFd_, &count, sizeof count);
            (void)n;
            return;
        }
        if (fds[1].revents & POLLIN)
            Accept();
        if (client_ && fds[2].revents && fds[2].fd == client_->fd)
            OnClientEvent(fds[2].revents);
        if (client_ && !client_->welcomed && Clock::now() >= client_->helloDeadline)
            Drop("no hello in time");
    }
}

void ApsService::Accept() {
    int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0)
        return;
    ucred cred{};
    socklen_t len = sizeof cred;
    bool sent = false;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || len != sizeof cred ||
        cred.uid != geteuid()) {
        SendWelcome(fd, APS_WELCOME_REFUSED, -1, sent);
        close(fd);
        Log("refused a client of user " + std::to_string(cred.uid));
        return;
    }
    // The device opens exclusively, like the real one.
    if (client_) {
        SendWelcome(fd, APS_WELCOME_BUSY, -1, sent);
        close(fd);
        Log("refused a second client while the device is held");
        return;
    }
    client_ = std::make_unique<Client>();
    client_->fd = fd;
    client_->helloDeadline = Clock::now() + std::chrono::milliseconds(options_.helloTimeoutMs);
}

void ApsService::OnClientEvent(short events) {
    if (!client_->welcomed) {
        ReadHello();
        return;
    }
    // Nothing may come after the hello: data is garbage, and end of file a hang-up.
    char byte;
    ssize_t n = recv(client_->fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0)
        Drop("the client sent data after the handshake");
    else if (n == 0 || (events & (POLLHUP | POLLRDHUP | POLLERR | POLLNVAL)))
        Drop("the client hung up");
}

void ApsService::ReadHello() {
    Client& c = *client_;
    auto* into = reinterpret_cast<char*>(&c.hello) + c.helloBytes;
    ssize_t n = recv(c.fd, into, sizeof c.hello - c.helloBytes, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0)
        return Drop("the client hung up before its hello");
    c.helloBytes += std::size_t(n);
    if (c.helloBytes < sizeof c.hello)
        return;
    if (c.hello.magic != APS_HELLO_MAGIC || c.hello.version != APS_PROTOCOL_VERSION)
        return Drop("the client's hello is garbage");
    if (!Welcome())
        return Drop("the client could not be handed its slot");
    c.welcomed = true;
}

bool ApsService::Welcome() {
    Client& c = *client_;
    int slotFd = CreateSlotFd();
    if (slotFd < 0)
        return false;
    void* p = mmap(nullptr, APS_SLOT_SIZE, PROT_READ | PROT_WRITE, MAP_SHARED, slotFd, 0);
    if (p == MAP_FAILED) {
        close(slotFd);
        return false;
    }
    c.slot = static_cast<ApsSlot*>(p);
    c.slot->magic = APS_SLOT_MAGIC;
    c.slot->version = APS_PROTOCOL_VERSION;
    c.worker = std::make_unique<SlotWorker>(c.slot, chip_, options_.observer);
    bool sent = false;
    SendWelcome(c.fd, APS_WELCOME_OK, slotFd, sent);
    close(slotFd);
    return sent;
}

void ApsService::Drop(const std::string& why) {
    Log(why);
    client_->worker.reset();
    if (client_->slot)
        munmap(client_->slot, APS_SLOT_SIZE);
    close(client_->fd);
    client_.reset();
}

void ApsService::Log(const std::string& text) {
    if (options_.log)
        options_.log(text);
}
