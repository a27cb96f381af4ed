// A client that speaks the service's protocol by hand, so tests can send
// what the library never would.
#pragma once

#include "aps_channel.h"

#include <cstdint>
#include <string>

// Connects to the socket; -1 when nobody listens.
int RawConnect(const std::string& path);
// Writes bytes as they are; false when the socket refused them.
bool RawSend(int fd, const void* bytes, std::size_t size);
// True when the service closed the connection within timeoutMs.
bool RawSeesHangUp(int fd, int timeoutMs);

struct RawWelcome {
    bool received = false;
    ApsWelcome welcome{};
    int slotFd = -1;
};
// Reads the service's answer to a hello (with its slot fd, if any).
RawWelcome RawReceiveWelcome(int fd, int timeoutMs);

// A connection that went through the handshake and mapped its slot.
class RawSession {
  public:
    explicit RawSession(const std::string& path);
    ~RawSession();
    RawSession(const RawSession&) = delete;
    RawSession& operator=(const RawSession&) = delete;

    bool ok() const { return slot_ != nullptr; }
    int fd() const { return fd_; }
    ApsSlot* slot() { return slot_; }

    // One request through the slot; false when no answer came in timeoutMs.
    bool request(uint32_t code, const void* input, uint32_t inputSize, uint32_t outputSize,
                 uint32_t& status, uint32_t& output, int timeoutMs = 5000);
    // Publishes a request without waiting for it.
    void publish(uint32_t code, const void* input, uint32_t inputSize, uint32_t outputSize);

  private:
    int fd_ = -1;
    ApsSlot* slot_ = nullptr;
    uint32_t seq_ = 0;
};
