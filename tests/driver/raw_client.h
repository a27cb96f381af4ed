// A client that speaks the service's protocol by hand, so tests can send
// what the library never would.
#pragma once

#include "aps_channel.h"
#include "aps_shared_chip.h"
#include "chip_ports.h"

#include <cstdint>
#include <string>
#include <vector>

// Connects to the socket; -1 when nobody listens.
int RawConnect(const std::string& path);
// Writes bytes as they are; false when the socket refused them.
bool RawSend(int fd, const void* bytes, std::size_t size);
// True when the service closed the connection within timeoutMs.
bool RawSeesHangUp(int fd, int timeoutMs);

struct RawWelcome {
    bool received = false;
    ApsWelcome welcome{};
    std::vector<int> fds; // the chip's memory first
};
// Reads the service's answer to a hello, with the descriptors it hands over.
RawWelcome RawReceiveWelcome(int fd, int timeoutMs);

// A connection that went through the handshake and mapped the shared chip:
// it holds the device until it goes.
class RawSession {
  public:
    explicit RawSession(const std::string& path);
    ~RawSession();
    RawSession(const RawSession&) = delete;
    RawSession& operator=(const RawSession&) = delete;

    bool ok() const { return chip_ != nullptr; }
    int fd() const { return fd_; }
    ApsSharedChip* chip() { return chip_; }
    // The simulated chip's ports over the mapping.
    ApsChipPorts ports() { return {&pointer_, chip_->registers, nullptr}; }

  private:
    int fd_ = -1;
    uint32_t pointer_ = 0;
    ApsSharedChip* chip_ = nullptr;
};
