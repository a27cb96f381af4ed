#include "control_client.h"

#include "aps_socket.h"
#include "scope_wire.h"
#include "socket_path.h"
#include "verb_words.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A line is short; only a payload after it is long.
constexpr std::size_t kMaxReply = 65536;
constexpr uint64_t kMaxPayload =
    uint64_t(kMaxSamplesAnswer) * kMaxSamplesRegisters * sizeof(int32_t);

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
        char buffer[65536];
        bool late = false;
        std::size_t lineEnd = std::string::npos;
        uint64_t payload = 0;
        while (lineEnd == std::string::npos ? answer.size() < kMaxReply
                                            : answer.size() < lineEnd + 1 + payload) {
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
            const std::size_t before = answer.size();
            answer.append(buffer, std::size_t(n));
            if (lineEnd != std::string::npos)
                continue;
            lineEnd = answer.find('\n', before);
            if (lineEnd == std::string::npos)
                continue;
            payload = AnswerPayloadBytes(answer.substr(0, lineEnd));
            if (payload > kMaxPayload)
                break;
        }
        const bool whole = lineEnd != std::string::npos && payload <= kMaxPayload &&
                           answer.size() == lineEnd + 1 + payload;
        if (whole) {
            reply = ParseReply(answer.substr(0, lineEnd + 1));
            reply.payload = answer.substr(lineEnd + 1);
        } else if (payload > kMaxPayload) {
            reply = {1, "emuapsd announced " + std::to_string(payload) +
                            " bytes after its answer, more than an answer holds"};
        } else if (answer.empty()) {
            reply = late ? ControlReply{1, silent}
                         : ControlReply{1, "emuapsd closed the connection without an answer"};
        } else if (lineEnd != std::string::npos && payload > 0) {
            reply = {1, "emuapsd's answer broke off after " +
                            std::to_string(answer.size() - lineEnd - 1) + " of " +
                            std::to_string(payload) + " bytes"};
        } else {
            reply = ParseReply(answer);
        }
    }
    close(fd);
    return reply;
}
