// The driver service's core: listens on the Unix-domain socket and lets one
// client of the same user hold the device at a time. The device is claimed
// by a whole hello, not by connecting, so connections that stay silent hold
// nothing. The client that holds it is handed the chip (see ChipBackend) and
// keeps its connection open for as long as it holds the device.
#pragma once

#include "chip_backend.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

struct ApsServiceOptions {
    std::string socketPath;
    // Why a client was refused or dropped; nothing is logged when empty.
    std::function<void(const std::string&)> log;
    // A connection that has not said hello by then is dropped.
    int helloTimeoutMs = 2000;
};

class ApsService {
  public:
    ApsService(ChipBackend& chip, ApsServiceOptions options);
    ~ApsService();
    ApsService(const ApsService&) = delete;
    ApsService& operator=(const ApsService&) = delete;

    // Creates the socket; it appears at its path only once it accepts.
    // Returns an error text, or "" on success.
    std::string Listen();
    // Serves on a listening socket that someone else made and owns (socket
    // activation): it is neither named nor removed here.
    void Adopt(int listeningFd);
    // Serves clients until Stop().
    void Run();
    // Safe from any thread and from a signal handler.
    void Stop();

  private:
    // A connection that has not finished its hello.
    struct Pending {
        int fd = -1;
        std::chrono::steady_clock::time_point deadline;
        unsigned char hello[8] = {};
        std::size_t helloBytes = 0;
    };

    void Accept();
    // False when the connection is done with (welcomed, refused or dropped).
    bool ReadHello(Pending& p);
    void OnHolderEvent(short events);
    void DropHolder(const std::string& why);
    void Log(const std::string& text);

    ChipBackend& chip_;
    ApsServiceOptions options_;
    int listenFd_ = -1;
    int wakeFd_ = -1;
    bool socketCreated_ = false;
    std::vector<Pending> pending_;
    int holder_ = -1; // the connection that holds the device
};
