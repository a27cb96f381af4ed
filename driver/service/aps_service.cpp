#include "aps_service.h"

#include "aps_channel.h"
#include "aps_probe.h"
#include "aps_shared_chip.h"
#include "aps_socket.h"
#include "listening_socket.h"
#include "socket_path.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Connections still owing their hello; beyond this many, the oldest goes.
const std::size_t kMaxPending = 16;

bool SendWelcome(int fd, uint32_t status, const ChipHandout* handout = nullptr, pid_t holder = 0) {
    ApsWelcome welcome = {APS_HELLO_MAGIC, APS_PROTOCOL_VERSION, status, 0, 0, 0, uint32_t(holder)};
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

// The process at the other end of a connection; 0 when it cannot be told.
pid_t PeerPid(int fd) {
    ucred cred{};
    socklen_t size = sizeof cred;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &size) != 0 || cred.pid <= 0)
        return 0;
    return cred.pid;
}

// A pidfd of a process, which becomes readable when it ends; -1 when it
// cannot be had.
int ProcessFd(pid_t pid) {
    return pid > 0 ? int(syscall(SYS_pidfd_open, pid, 0)) : -1;
}

void CloseIfOpen(int& fd) {
    if (fd >= 0)
        close(fd);
    fd = -1;
}

} // namespace

std::string AnotherServiceListens() {
    char name[ZENDRA_SOCKET_PATH_MAX];
    if (ZendraSocketPath(name, sizeof name, nullptr) != 0)
        return ""; // said when it comes to listening
    const std::string path = name;
    // A stopped service answers nothing: it still listens, and refuses this one.
    const int kProbeTimeoutMs = 1000;
    long holder = 0;
    switch (ApsProbeService(name, kProbeTimeoutMs, &holder)) {
    case APS_PROBE_NOBODY:
        return "";
    case APS_PROBE_FREE:
        return "another service already listens at " + path;
    case APS_PROBE_HELD:
        return "another service already listens at " + path + " (the device is held by process " +
               std::to_string(holder) + ")";
    case APS_PROBE_STRANGER:
        break;
    }
    return "another process already listens at " + path + " and does not answer as a service";
}

ApsService::ApsService(ChipBackend& chip, ApsServiceOptions options)
    : chip_(chip), options_(std::move(options)) {}

ApsService::~ApsService() {
    if (holder_ >= 0)
        DropHolder("the service stops");
    for (const Pending& p : pending_)
        close(p.fd);
}

std::string ApsService::Listen() {
    return socket_.Listen(options_.socketPath);
}

void ApsService::Adopt(int listeningFd) {
    socket_.Adopt(listeningFd);
}

void ApsService::Stop() {
    socket_.Stop();
}

std::string ApsService::Run() {
    std::vector<pollfd> fds;
    const std::size_t kFirstPending = 4;
    for (;;) {
        const auto now = Clock::now();
        const bool acceptPaused = now < acceptPausedUntil_;
        fds.assign({{socket_.wakeFd(), POLLIN, 0},
                    {acceptPaused ? -1 : socket_.fd(), POLLIN, 0},
                    {holder_, POLLIN | POLLRDHUP, 0},
                    {holderProcess_, POLLIN, 0}});
        int timeout = -1;
        auto wakeAt = [&](Clock::time_point when) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(when - now).count();
            int ms = int(std::clamp<int64_t>(left, 0, 60000));
            timeout = timeout < 0 ? ms : std::min(timeout, ms);
        };
        if (acceptPaused)
            wakeAt(acceptPausedUntil_);
        for (const Pending& p : pending_) {
            fds.push_back({p.fd, POLLIN | POLLRDHUP, 0});
            wakeAt(p.deadline);
        }
        if (poll(fds.data(), fds.size(), timeout) < 0) {
            if (errno == EINTR)
                continue;
            return std::string("the service cannot wait for its clients (poll: ") +
                   std::strerror(errno) + ")";
        }
        if (fds[0].revents) {
            uint64_t count;
            ssize_t n = read(socket_.wakeFd(), &count, sizeof count);
            (void)n;
            return "";
        }
        // A holder that left frees the device before any hello below claims it.
        if (holder_ >= 0 && fds[2].revents)
            OnHolderEvent(fds[2].revents);
        if (holder_ >= 0 && fds[3].revents)
            DropHolder("the client's process ended");
        std::vector<Pending> still;
        for (std::size_t i = 0; i < pending_.size(); ++i) {
            Pending& p = pending_[i];
            bool keep = fds[kFirstPending + i].revents == 0 || ReadHello(p);
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
    int fd = accept4(socket_.fd(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
        // The connection stays queued until descriptors are free again.
        if (AcceptMustRest(errno)) {
            if (acceptPausedUntil_ == Clock::time_point())
                Log(std::string("cannot accept a client for now: ") + std::strerror(errno));
            acceptPausedUntil_ = Clock::now() + kAcceptRest;
        }
        return;
    }
    acceptPausedUntil_ = Clock::time_point();
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
    if ((hello.magic != APS_HELLO_MAGIC && hello.magic != APS_PROBE_MAGIC) ||
        hello.version != APS_PROTOCOL_VERSION)
        return done("the client's hello is garbage");
    // A probe is answered and forgotten: it asks for nothing and is no fault.
    if (hello.magic == APS_PROBE_MAGIC) {
        SendWelcome(p.fd, holder_ >= 0 ? APS_WELCOME_BUSY : APS_WELCOME_FREE, nullptr, holderPid_);
        return done("");
    }
    // The device opens exclusively, like the real one.
    if (holder_ >= 0) {
        SendWelcome(p.fd, APS_WELCOME_BUSY, nullptr, holderPid_);
        return done("refused a second client while the device is held by process " +
                    std::to_string(holderPid_));
    }
    if (!Welcome(p.fd))
        return done("the client could not be handed the chip");
    holder_ = p.fd;
    return false;
}

bool ApsService::Welcome(int fd) {
    // Memory a gone holder may still reach is never handed on.
    if (!chipReclaimed_ && !(chipReclaimed_ = chip_.Reclaim())) {
        SendWelcome(fd, APS_WELCOME_REFUSED);
        Log("the chip's memory cannot be renewed");
        return false;
    }
    holderPid_ = PeerPid(fd);
    holderProcess_ = ProcessFd(holderPid_);
    ChipHandout handout = chip_.Handout();
    if (SendWelcome(fd, APS_WELCOME_OK, &handout))
        return true;
    CloseIfOpen(holderProcess_);
    holderPid_ = 0;
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
    CloseIfOpen(holder_);
    CloseIfOpen(holderProcess_);
    holderPid_ = 0;
    chipReclaimed_ = chip_.Reclaim();
}

void ApsService::Log(const std::string& text) {
    if (options_.log)
        options_.log(text);
}
