#include "control_client.h"

#include "answer_frame.h"
#include "aps_socket.h"
#include "control_socket.h"
#include "socket_path.h"
#include "verb_words.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

ControlReply Trouble(ControlTrouble trouble, const std::string& text) {
    return {1, text, {}, trouble};
}

// Reads the answer on fd until it is whole, the deadline passes or the
// service closes; what is wrong with it, if anything, as a reply.
ControlReply ReadAnswer(int fd, const timespec& deadline, const std::string& silent) {
    std::string answer;
    char buffer[65536];
    bool late = false;
    std::size_t lineEnd = std::string::npos;
    uint64_t payload = 0;
    while (lineEnd == std::string::npos ? answer.size() < kMaxAnswerLine
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
        // Never more than the line and its payload: bytes beyond are not ours.
        const std::size_t want =
            lineEnd == std::string::npos
                ? std::size_t(n)
                : std::min<std::size_t>(std::size_t(n), lineEnd + 1 + payload - before);
        answer.append(buffer, want);
        if (lineEnd != std::string::npos)
            continue;
        lineEnd = answer.find('\n', before);
        if (lineEnd == std::string::npos)
            continue;
        payload = AnswerPayloadBytes(answer.substr(0, lineEnd));
        if (payload > kMaxAnswerPayload)
            return Trouble(ControlTrouble::kTooLarge,
                           "emuapsd announced " + std::to_string(payload) +
                               " bytes after its answer, more than an answer holds");
        answer.resize(std::min(answer.size(), lineEnd + 1 + std::size_t(payload)));
    }
    const bool whole = lineEnd != std::string::npos && answer.size() == lineEnd + 1 + payload;
    if (answer.empty())
        return late ? Trouble(ControlTrouble::kSilent, silent)
                    : Trouble(ControlTrouble::kClosed,
                              "emuapsd closed the connection without an answer");
    if (!whole && lineEnd != std::string::npos && payload > 0)
        return Trouble(ControlTrouble::kBrokeOff, "emuapsd's answer broke off after " +
                                                      std::to_string(answer.size() - lineEnd - 1) +
                                                      " of " + std::to_string(payload) + " bytes");
    const std::optional<AnswerLine> line =
        ParseAnswerLine(whole ? answer.substr(0, lineEnd + 1) : answer);
    if (!line)
        return Trouble(ControlTrouble::kNonsense, "the service gave an answer that makes no sense");
    return {line->status, line->text, whole ? answer.substr(lineEnd + 1) : std::string()};
}

} // namespace

int AnswerWaitMs(const std::string& line) {
    return kAnswerSlackMs + int(RequestRunSamples(line) * 1000 / kVerbSampleRate);
}

ControlReply AskService(const std::string& line) {
    char path[ZENDRA_SOCKET_PATH_MAX];
    if (ControlSocketPath(path, sizeof path, nullptr) != 0)
        return Trouble(ControlTrouble::kNoPath, "the control socket's path is too long");
    return AskServiceAt(path, line, AnswerWaitMs(line));
}

ControlReply AskServiceAt(const std::string& path, const std::string& line, int waitMs) {
    sockaddr_un addr;
    if (ApsSocketAddress(path.c_str(), &addr) != 0)
        return Trouble(ControlTrouble::kNoPath, "the control socket's path is too long");
    const timespec deadline = ApsDeadlineIn(waitMs);
    const std::string silent =
        "emuapsd did not answer within " + std::to_string(waitMs / 1000) + " s (is it stopped?)";
    const int fd = ApsConnectBy(path.c_str(), &deadline);
    if (fd < 0)
        return errno == ETIMEDOUT
                   ? Trouble(ControlTrouble::kSilent, silent)
                   : Trouble(ControlTrouble::kUnreachable,
                             "cannot reach emuapsd at " + path + ": " + std::strerror(errno));
    ControlReply reply;
    const std::string request = line + "\n";
    if (!ControlPeerAllowed(fd))
        reply =
            Trouble(ControlTrouble::kOtherUser, "the service at " + path + " runs as another user");
    else if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) != ssize_t(request.size()))
        reply = Trouble(ControlTrouble::kSendFailed,
                        std::string("cannot send to emuapsd: ") + std::strerror(errno));
    else
        reply = ReadAnswer(fd, deadline, silent);
    close(fd);
    return reply;
}
