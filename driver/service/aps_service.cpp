#include "aps_service.h"

#include "aps_channel.h"
#include "aps_shared_chip.h"
#include "aps_socket.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Connections still owing their hello; beyond this many, the oldest goes.
const std::size_t kMaxPending = 16;

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

bool SendWelcome(int fd, uint32_t status, const ChipHandout* handout = nullptr) {
    ApsWelcome welcome = {APS_HELLO_MAGIC, APS_PROTOCOL_VERSION, status, 0, 0, 0};
    std::vector<int> fds;
    if (handout) {
        welcome.kind = handout->kind;
        welcome.chip_size = APS_SHARED_CHIP_SIZE;
        welcome.file_count = uint32_t(handout->files.size());
        fds.push_back(handout->memoryFd);
        fds.insert(fds.end(), handout->files.begin(), handout->files.end());
    }
    if (fds.size() > APS_WELCOME_MAX_FDS)
        return false;
    iovec iov = {&welcome, sizeof welcome};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * APS_WELCOME_MAX_FDS)];
    if (!fds.empty()) {
        msg.msg_control = control;
        msg.msg_controllen = CMSG_SPACE(sizeof(int) * fds.size());
        cmsghdr* c = CMSG_FIRSTHDR(&msg);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof(int) * fds.size());
        std::memcpy(CMSG_DATA(c), fds.data(), sizeof(int) * fds.size());
    }
    return sendmsg(fd, &msg, MSG_NOSIGNAL | MSG_DONTWAIT) == ssize_t(sizeof welcome);
}

} // namespace

ApsService::ApsService(ChipBackend& chip, ApsServiceOptions options)
    : chip_(chip), options_(std::move(options)) {
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

ApsService::~ApsService() {
    if (holder_ >= 0)
        DropHolder("the service stops");
    for (const Pending& p : pending_)
        close(p.fd);
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

void ApsService::Adopt(int listeningFd) {
    listenFd_ = listeningFd;
}

void ApsService::Stop() {
    uint64_t one = 1;
    ssize_t n = write(wakeFd_, &one, sizeof one);
    (void)n;
}

void ApsService::Run() {
    std::vector<pollfd> fds;
    for (;;) {
        fds.assign(
            {{wakeFd_, POLLIN, 0}, {listenFd_, POLLIN, 0}, {holder_, POLLIN | POLLRDHUP, 0}});
        int timeout = -1;
        const auto now = Clock::now();
        for (const Pending& p : pending_) {
            fds.push_back({p.fd, POLLIN | POLLRDHUP, 0});
            auto left = std::chrono::ceil<std::chrono::milliseconds>(p.deadline - now).count();
            int ms = int(std::clamp<int64_t>(left, 0, 60000));
            timeout = timeout < 0 ? ms : std::min(timeout, ms);
        }
        if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
            return;
        if (fds[0].revents) {
            uint64_t count;
            ssize_t n = read(wakeFd_, &count, sizeof count);
            (void)n;
            return;
        }
        // A holder that left frees the device before any hello below claims it.
        if (holder_ >= 0 && fds[2].revents)
            OnHolderEvent(fds[2].revents);
        std::vector<Pending> still;
        for (std::size_t i = 0; i < pending_.size(); ++i) {
            Pending& p = pending_[i];
            bool keep = fds[3 + i].revents == 0 || ReadHello(p);
            if (keep && Clock::now() >= p.deadline) {
                Log("no hello in time");
                close(p.fd);
                keep = false;
            }
            if (keep)
                still.push_back(p);
        }
        pending_.swap(still);
        if (fds[1].revents & POLLIN)
            Accept();
    }
}

void ApsService::Accept() {
    int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0)
        return;
    if (!ApsPeerIsOwnUser(fd)) {
        const long uid = ApsPeerUid(fd);
        SendWelcome(fd, APS_WELCOME_REFUSED);
        close(fd);
        Log("refused a client of user " + std::to_string(uid));
        return;
    }
    if (pending_.size() >= kMaxPending) {
        Log("too many connections without a hello; dropped the oldest");
        close(pending_.front().fd);
        pending_.erase(pending_.begin());
    }
    Pending p;
    p.fd = fd;
    p.deadline = Clock::now() + std::chrono::milliseconds(options_.helloTimeoutMs);
    pending_.push_back(p);
}

bool ApsService::ReadHello(Pending& p) {
    ssize_t n = recv(p.fd, p.hello + p.helloBytes, sizeof p.hello - p.helloBytes, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return true;
    auto done = [&](const std::string& why) {
        if (!why.empty())
            Log(why);
        close(p.fd);
        return false;
    };
    if (n <= 0)
        return done("the client hung up before its hello");
    p.helloBytes += std::size_t(n);
    if (p.helloBytes < sizeof p.hello)
        return true;
    ApsHello hello;
    static_assert(sizeof hello == sizeof p.hello);
    std::memcpy(&hello, p.hello, sizeof hello);
    if (hello.magic != APS_HELLO_MAGIC || hello.version != APS_PROTOCOL_VERSION)
        return done("the client's hello is garbage");
    // The device opens exclusively, like the real one.
    if (holder_ >= 0) {
        SendWelcome(p.fd, APS_WELCOME_BUSY);
        return done("refused a second client while the device is held");
    }
    ChipHandout handout = chip_.Handout();
    if (!SendWelcome(p.fd, APS_WELCOME_OK, &handout))
        return done("the client could not be handed the chip");
    holder_ = p.fd;
    return false;
}

void ApsService::OnHolderEvent(short events) {
    // Nothing may come after the hello: data is garbage, and end of file a hang-up.
    char byte;
    ssize_t n = recv(holder_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0)
        DropHolder("the client sent data after the handshake");
    else if (n == 0 || (events & (POLLHUP | POLLRDHUP | POLLERR | POLLNVAL)))
        DropHolder("the client hung up");
}

void ApsService::DropHolder(const std::string& why) {
    Log(why);
    close(holder_);
    holder_ = -1;
}

void ApsService::Log(const std::string& text) {
    if (options_.log)
        options_.log(text);
}
