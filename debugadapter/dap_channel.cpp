#include "dap_channel.h"

#include <cerrno>
#include <unistd.h>

DapChannel::DapChannel(int inFd, int outFd, std::function<void(const std::string&)> message,
                       std::function<void(const std::string&)> closed)
    : in_(inFd), out_(outFd), notifier_(inFd, QSocketNotifier::Read), message_(std::move(message)),
      closed_(std::move(closed)) {
    connect(&notifier_, &QSocketNotifier::activated, this, &DapChannel::Readable);
}

void DapChannel::Send(const QByteArray& body) {
    const std::string frame = DapFrameText(body.toStdString());
    std::lock_guard lock(writing_);
    for (std::size_t sent = 0; sent < frame.size();) {
        const ssize_t n = write(out_, frame.data() + sent, frame.size() - sent);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // the client is gone; its end of input says so
        sent += std::size_t(n);
    }
}

void DapChannel::Readable() {
    if (done_)
        return;
    char buffer[65536];
    const ssize_t n = read(in_, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0) {
        done_ = true;
        notifier_.setEnabled(false);
        closed_("");
        return;
    }
    reader_.Feed({buffer, std::size_t(n)});
    while (const auto body = reader_.Next())
        message_(*body);
    if (reader_.broken()) {
        done_ = true;
        notifier_.setEnabled(false);
        closed_(reader_.why());
    }
}
