// The driver service's core: listens on the Unix-domain socket and lets one
// client of the same user hold the device at a time. The device is claimed
// by a whole hello, not by connecting, so connections that stay silent hold
// nothing. The client that holds it is handed the chip (see ChipBackend) and
// holds the device while its connection is open and its process lives: a
// child it forked with the connection holds nothing.
#pragma once

#include "chip_backend.h"
#include "listening_socket.h"

#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

// Why a service must not start: a live one listens at the device's socket
// (asked with the probe hello, which it neither holds nor logs). "" when
// none does.
std::string AnotherServiceListens();

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

    // Creates the socket; it appears at its path only once it accepts. A
    // lock file beside it keeps two services from doing this at once.
    // Returns an error text, or "" on success.
    std::string Listen();
    // Serves on a listening socket that someone else made and owns (socket
    // activation): it is neither named nor removed here.
    void Adopt(int listeningFd);
    // Serves clients until Stop(), then returns ""; or returns why it cannot
    // serve on.
    std::string Run();
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
    // Hands the chip over; false when it could not be.
    bool Welcome(int fd);
    void OnHolderEvent(short events);
    void DropHolder(const std::string& why);
    void Log(const std::string& text);

    ChipBackend& chip_;
    ApsServiceOptions options_;
    ServedSocket socket_;
    std::vector<Pending> pending_;
    int holder_ = -1;        // the connection that holds the device
    int holderProcess_ = -1; // a pidfd of the process that connected it
    pid_t holderPid_ = 0;    // that process, told to the clients refused
    bool chipReclaimed_ = true;
    // Out of descriptors: the listening socket waits until then.
    std::chrono::steady_clock::time_point acceptPausedUntil_;
};
