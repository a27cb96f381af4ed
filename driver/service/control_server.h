// The service's control socket, emuaps.ctl beside the device's: emuapsctl
// connects, says one line and gets one line back. Only the service's own
// user is served; one request at a time, so a verb that runs the chip for a
// while holds the next one back until it is done.
#pragma once

#include "control_verbs.h"
#include "listening_socket.h"

#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>

class ControlServer {
  public:
    using Handler = std::function<ControlAnswer(const std::string& line)>;
    using Log = std::function<void(const std::string&)>;
    ControlServer(Handler handler, Log log);
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Listens at path, which it removes when it goes; "" or the error.
    std::string Listen(const std::string& path);
    // Serves on a socket that socket activation handed over.
    void Adopt(int listeningFd);
    // Serves requests until Stop().
    void Run();
    // Safe from any thread.
    void Stop();

  private:
    void Serve(int fd);

    Handler handler_;
    Log log_;
    ServedSocket socket_;
};

// The control server on the socket handed over (activatedFd >= 0), or at
// its own path beside the device's socket; null, having said why, when it
// cannot listen.
std::unique_ptr<ControlServer> StartControlServer(ControlServer::Handler handler, int activatedFd,
                                                  ControlServer::Log log);
