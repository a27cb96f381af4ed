// The adapter's one way to the chip: requests on a service's control
// socket through the control client. A launched service lives in a runtime
// folder of its own, so its sockets are this session's alone; an attached
// one is the user's.
#pragma once

#include "control_reply.h"

#include <string>

class ServiceLink {
  public:
    // The user's own service (attach).
    static ServiceLink User();
    // The service whose runtime folder is folder (launch).
    static ServiceLink InFolder(const std::string& folder);

    ControlReply Ask(const std::string& line) const;
    // Asks with a wait of its own, for a status poll that must not hang.
    ControlReply AskWithin(const std::string& line, int waitMs) const;
    // The program's names the service publishes beside its socket.
    std::string NamesFile() const;
    // The source map of the program it runs, beside its socket too.
    std::string SourceMapFile() const;
    const std::string& socketPath() const { return socket_; }

  private:
    std::string socket_;
};
