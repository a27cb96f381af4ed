#include "control_server.h"

#include "answer_frame.h"
#include "aps_socket.h"
#include "control_socket.h"
#include "listening_socket.h"
#include "socket_folder.h"
#include "socket_path.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace {

// A client gets this long to say its request.
constexpr int kLineTimeoutMs = 2000;
// Clients served at once, each by a worker thread that then stays for the
// next (starting a thread for each would cost a request several times its
// own time).
constexpr std::size_t kMaxWorkers = 16;

bool Readable(int fd) {
    pollfd p = {fd, POLLIN, 0};
    return poll(&p, 1, 0) > 0;
}

// POLLHUP comes only when the client closed its end: one that merely shut
// down its writing still waits for the answer.
bool HungUp(int fd) {
    pollfd p = {fd, 0, 0};
    return poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR));
}

// A client that reads none of its answer for this long is given up.
constexpr int kSendTimeoutMs = 2000;

void Answer(int fd, ControlAnswer answer) {
    const std::string reply = AnswerFrame(answer.status, std::move(answer.text), answer.payload);
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::milliseconds(kSendTimeoutMs);
    for (std::size_t sent = 0; sent < reply.size();) {
        const ssize_t n = send(fd, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += std::size_t(n);
            deadline = Clock::now() + std::chrono::milliseconds(kSendTimeoutMs);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return;
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return;
        pollfd p = {fd, POLLOUT, 0};
        if (poll(&p, 1, int(left)) < 0 && errno != EINTR)
            return;
    }
}

} // namespace

ControlServer::ControlServer(Handler handler, Log log)
    : handler_(std::move(handler)), log_(std::move(log)) {}

ControlServer::~ControlServer() = default;

std::string ControlServer::Listen(const std::string& path) {
    return socket_.Listen(path);
}

void ControlServer::Adopt(int listeningFd) {
    socket_.Adopt(listeningFd);
}

void ControlServer::Stop() {
    socket_.Stop();
}

void ControlServer::Say(const std::string& text) {
    std::lock_guard lock(logging_);
    if (log_)
        log_(text);
}

void ControlServer::Run() {
    Work();
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    // The others see the same wake, and a verb ends within a slice.
    for (;;) {
        std::unique_lock lock(mutex_);
        if (workers_.empty())
            return;
        std::thread worker = std::move(workers_.back());
        workers_.pop_back();
        lock.unlock();
        worker.join();
    }
}

void ControlServer::Work() {
    for (;;) {
        pollfd fds[2] = {{socket_.wakeFd(), POLLIN, 0}, {socket_.fd(), POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            // The device goes on being served; only emuapsctl goes unanswered.
            Say(std::string("the control socket stops (poll: ") + std::strerror(errno) + ")");
            return;
        }
        if (fds[0].revents)
            return;
        if (!(fds[1].revents & POLLIN))
            continue;
        // Idle workers all wake; one gets the client.
        int fd = accept4(socket_.fd(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (AcceptMustRest(errno)) {
                pollfd wake = {socket_.wakeFd(), POLLIN, 0};
                poll(&wake, 1, int(kAcceptRest.count()));
            }
            continue;
        }
        if (!ControlPeerAllowed(fd)) {
            Say("refused a control client of user " + std::to_string(ApsPeerUid(fd)));
            close(fd);
            continue;
        }
        {
            // One worker always waits for the next client, up to the limit;
            // beyond it clients wait in the backlog for a worker.
            std::lock_guard lock(mutex_);
            if (--idle_ == 0 && workers_.size() + 1 < kMaxWorkers && !stopping_) {
                try {
                    workers_.emplace_back([this] { Work(); });
                    ++idle_;
                } catch (const std::system_error&) {
                    // This one serves on alone; the next waits for it.
                }
            }
        }
        Serve(fd);
        close(fd);
        std::lock_guard lock(mutex_);
        ++idle_;
    }
}

bool ControlServer::ReadLine(int fd, std::string* line) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kLineTimeoutMs);
    auto tooLong = [&] {
        Answer(fd, {1, "a request is one line of at most " + std::to_string(kMaxRequestLine) +
                           " bytes"});
        Say("refused a control request longer than " + std::to_string(kMaxRequestLine) + " bytes");
        return false;
    };
    char buffer[512];
    while (line->find('\n') == std::string::npos) {
        if (line->size() > kMaxRequestLine)
            return tooLong();
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd fds[2] = {{fd, POLLIN, 0}, {socket_.wakeFd(), POLLIN, 0}};
        if (left.count() <= 0 || poll(fds, 2, int(left.count())) <= 0 || fds[1].revents)
            return false;
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0 && !(n < 0 && (errno == EAGAIN || errno == EINTR)))
            return false;
        if (n > 0)
            line->append(buffer, std::size_t(n));
    }
    line->resize(line->find('\n'));
    return line->size() <= kMaxRequestLine || tooLong();
}

void ControlServer::Serve(int fd) {
    std::string line;
    if (!ReadLine(fd, &line))
        return;
    bool gone = false;
    const VerbCancel cancel = [this, fd, &gone]() -> std::string {
        if (Readable(socket_.wakeFd()))
            return "the service is stopping";
        if (HungUp(fd)) {
            gone = true;
            return "its client went away";
        }
        return "";
    };
    ControlAnswer answer = handler_(line, cancel);
    if (gone)
        Say("the client of '" + line + "' went away: " + answer.text);
    else
        Answer(fd, std::move(answer));
}

std::unique_ptr<ControlServer> StartControlServer(ControlServer::Handler handler, int activatedFd,
                                                  ControlServer::Log log) {
    auto server = std::make_unique<ControlServer>(std::move(handler), log);
    if (activatedFd >= 0) {
        server->Adopt(activatedFd);
        return server;
    }
    std::string error;
    const std::string path =
        ReadySocketPath(ControlSocketPath, "the control socket's path", &error);
    if (error.empty())
        error = server->Listen(path);
    if (!error.empty()) {
        log(error);
        return nullptr;
    }
    log("control at " + path);
    return server;
}
