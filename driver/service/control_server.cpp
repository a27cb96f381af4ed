#include "control_server.h"

#include "aps_socket.h"
#include "listening_socket.h"
#include "socket_folder.h"
#include "socket_path.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A request is one short line; a client gets this long to say it.
constexpr std::size_t kMaxLine = 4096;
constexpr int kLineTimeoutMs = 2000;

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

void ControlServer::Run() {
    for (;;) {
        pollfd fds[2] = {{socket_.wakeFd(), POLLIN, 0}, {socket_.fd(), POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            // The device goes on being served; only emuapsctl goes unanswered.
            if (log_)
                log_(std::string("the control socket stops (poll: ") + std::strerror(errno) + ")");
            return;
        }
        if (fds[0].revents)
            return;
        if (!(fds[1].revents & POLLIN))
            continue;
        int fd = accept4(socket_.fd(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (AcceptMustRest(errno)) {
                pollfd wake = {socket_.wakeFd(), POLLIN, 0};
                poll(&wake, 1, int(kAcceptRest.count()));
            }
            continue;
        }
        if (ApsPeerIsOwnUser(fd))
            Serve(fd);
        else if (log_)
            log_("refused a control client of user " + std::to_string(ApsPeerUid(fd)));
        close(fd);
    }
}

void ControlServer::Serve(int fd) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kLineTimeoutMs);
    std::string line;
    char buffer[512];
    while (line.find('\n') == std::string::npos) {
        if (line.size() > kMaxLine)
            return;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd fds[2] = {{fd, POLLIN, 0}, {socket_.wakeFd(), POLLIN, 0}};
        if (left.count() <= 0 || poll(fds, 2, int(left.count())) <= 0 || fds[1].revents)
            return;
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0 && !(n < 0 && (errno == EAGAIN || errno == EINTR)))
            return;
        if (n > 0)
            line.append(buffer, std::size_t(n));
    }
    line.resize(line.find('\n'));
    ControlAnswer answer = handler_(line);
    for (char& c : answer.text)
        if (c == '\n' || c == '\r')
            c = ' ';
    const std::string reply = std::to_string(answer.status) + " " + answer.text + "\n";
    // The answer is short: it fits the socket's buffer at once.
    ssize_t sent = send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
    (void)sent;
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
        ReadySocketPath(ZendraControlSocketPath, "the control socket's path", &error);
    if (error.empty())
        error = server->Listen(path);
    if (!error.empty()) {
        log(error);
        return nullptr;
    }
    log("control at " + path);
    return server;
}
