// The service's control socket, emuaps.ctl beside the device's: emuapsctl
// connects, says one line and gets one line back. Only the service's own
// user is served. Each client is served by a worker thread of its own, so a
// client that says nothing, or a verb that runs the chip for a while, holds
// up no other; a client that hangs up cancels its verb.
#pragma once

#include "control_verbs.h"
#include "listening_socket.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

class ControlServer {
  public:
    // Runs a request line; cancel says why it must end early, "" to go on.
    using Handler = std::function<ControlAnswer(const std::string& line, const VerbCancel& cancel)>;
    using Log = std::function<void(const std::string&)>;
    ControlServer(Handler handler, Log log);
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Listens at path, which it removes when it goes; "" or the error.
    std::string Listen(const std::string& path);
    // Serves on a socket that socket activation handed over.
    void Adopt(int listeningFd);
    // Serves requests until Stop(), and returns once every client's thread
    // has ended.
    void Run();
    // Safe from any thread: cancels every verb that runs and ends Run().
    void Stop();

  private:
    // Accepts and serves clients until Stop(), starting another worker
    // when it takes the last idle one's place.
    void Work();
    void Serve(int fd);
    // Reads the request line; false, having answered or logged why, without one.
    bool ReadLine(int fd, std::string* line);
    void Say(const std::string& text);

    Handler handler_;
    Log log_;
    std::mutex logging_;
    ServedSocket socket_;
    std::mutex mutex_;     // over what follows
    std::size_t idle_ = 1; // Run()'s own thread is the first worker
    bool stopping_ = false;
    std::vector<std::thread> workers_; // the others
};

// The control server on the socket handed over (activatedFd >= 0), or at
// its own path beside the device's socket; null, having said why, when it
// cannot listen.
std::unique_ptr<ControlServer> StartControlServer(ControlServer::Handler handler, int activatedFd,
                                                  ControlServer::Log log);
