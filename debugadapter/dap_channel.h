// The adapter's end of the editor's connection: bytes in from one file
// descriptor (standard input, or a TCP client), framed messages out on
// another. It reads whenever bytes come, without blocking the event loop.
#pragma once

#include "dap_framing.h"

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <mutex>

class DapChannel : public QObject {
    Q_OBJECT
  public:
    // message gets each body; closed is called once, when the client went
    // away (end of input) or broke the framing (with why, "" for an end).
    DapChannel(int inFd, int outFd, std::function<void(const std::string&)> message,
               std::function<void(const std::string& why)> closed);
    // From any thread.
    void Send(const QByteArray& body);

  private:
    void Readable();

    int in_, out_;
    QSocketNotifier notifier_;
    DapFrameReader reader_;
    std::function<void(const std::string&)> message_;
    std::function<void(const std::string&)> closed_;
    std::mutex writing_;
    bool done_ = false;
};
