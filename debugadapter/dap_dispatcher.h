// Takes each message body the framing hands out, checks it is a request,
// and runs the handler its command names. Whatever is wrong (not JSON, not
// a request, a command nobody handles, arguments of the wrong type) is an
// error response; nothing a client sends ends the adapter.
#pragma once

#include "dap_messages.h"

#include <functional>
#include <map>
#include <string>

struct DapReply {
    QJsonObject body = {};
    // Sent after the response: the events a request leads to.
    std::function<void()> then = {};
};

class DapDispatcher {
  public:
    using Handler = std::function<DapReply(const DapArguments&)>;
    explicit DapDispatcher(DapOutput& output) : output_(output) {}
    void Add(const QString& command, Handler handler);
    void Dispatch(const std::string& body);
    // The commands handled, for a test to walk.
    QStringList commands() const;

  private:
    DapOutput& output_;
    std::map<QString, Handler> handlers_;
};
