#include "control_client.h"

#include "aps_socket.h"
#include "socket_path.h"
#include "verb_words.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::size_t kMaxReply = 65536;

// The reply "<status> <text>\n"; anything else is the service's fault.
ControlReply ParseReply(const std::string& reply) {
    if (reply.size() < 2 || reply[0] < '0' || reply[0] > '2' || reply[1] != ' ' ||
        reply.back() != '\n')
        return {1, "the service gave an answer that makes no sense"};
    return {reply[0] - '0', reply.substr(2, reply.size() - 3)};
}

} // namespace

int AnswerWaitMs(const std::string& line) {
    return kAnswerSlackMs + int(RequestRunSamples(line) * 1000 / kVerbSampleRate);
}

ControlReply AskService(const std::string& line) {
    char path[ZENDRA_SOCKET_PATH_MAX];
    sockaddr_un addr;
    if (ZendraControlSocketPath(path, sizeof path, nullptr) != 0 ||
        ApsSocketAddress(path, &addr) != 0)
        return {1, "the control socket's path is too long"};
    const int waitMs = AnswerWaitMs(line);
    const timespec deadline = ApsDeadlineIn(waitMs);
    const std::string silent =
        "emuapsd did not answer within " + std::to_string(waitMs / 1000) + " s (is it stopped?)";
    int fd = ApsConnectBy(path, &deadline);
    if (fd < 0)
        return errno == ETIMEDOUT ? ControlReply{1, silent}
                                  : ControlReply{1, std::string("cannot reach emuapsd at ") + path +
                                                        ": " + std::strerror(errno)};
    ControlReply reply;
    const std::string request = line + "\n";
    std::string answer;
    if (!ApsPeerIsOwnUser(fd)) {
        reply = {1, std::string("the service at ") + path + " runs as another user"};
    } else if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) != ssize_t(request.size())) {
        reply = {1, std::string("cannot send to emuapsd: ") + std::strerror(errno)};
    } else {
        char buffer[4096];
        bool late = false;
        while (answer.size() < kMaxReply) {
            pollfd p = {fd, POLLIN, 0};
            const int ready = poll(&p, 1, ApsMsLeft(&deadline));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready == 0)
                late = true;
            if (ready <= 0)
                break;
            const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (n <= 0)
                break;
            answer.append(buffer, std::size_t(n));
            if (answer.back() == '\n')
                break;
        }
        reply = late && answer.empty() ? ControlReply{1, silent}
                : answer.empty()
                    ? ControlReply{1, "emuapsd closed the connection without an answer"}
                    : ParseReply(answer);
    }
    close(fd);
    return reply;
}
