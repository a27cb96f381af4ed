// The driver service's core: listens on the Unix-domain socket, lets one
// client of the same user hold the device at a time, hands it a
// shared-memory request slot and serves that slot from a worker thread.
#pragma once

#include "chip_backend.h"
#include "slot_worker.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct ApsServiceOptions {
    std::string socketPath;
    // Sees every request before it is checked (tests capture the wire bytes).
    RequestObserver observer;
    // Why a client was refused or dropped; nothing is logged when empty.
    std::function<void(const std::string&)> log;
    // A client that has not said hello by then is dropped.
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
    // Serves clients until Stop().
    void Run();
    // Safe from any thread and from a signal handler.
    void Stop();

  private:
    struct Client;

    void Accept();
    void OnClientEvent(short events);
    void ReadHello();
    bool Welcome();
    void Drop(const std::string& why);
    void Log(const std::string& text);

    ChipBackend& chip_;
    ApsServiceOptions options_;
    int listenFd_ = -1;
    int wakeFd_ = -1;
    bool socketCreated_ = false;
    std::unique_ptr<Client> client_;
};
