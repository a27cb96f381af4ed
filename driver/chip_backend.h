// What the driver service answers port requests from: a chip behind its
// pointer (port 0) and data (port 4) registers.
#pragma once

#include <cstdint>
#include <mutex>

// The chip's pointer register: register number in bits 16-26, channel in
// bits 0-5; the other bits read as zero.
constexpr uint32_t kChipPointerBits = 0x07FF003F;
constexpr uint32_t ChipPointerRegister(uint32_t pointer) {
    return (pointer >> 16) & 0x7FF;
}

class ChipBackend {
  public:
    virtual ~ChipBackend() = default;

    // Both are called with mutex() held: a register access is a pointer write
    // followed by data accesses, and nothing else may touch the pointer between.
    virtual uint32_t PortRead(uint16_t port) = 0;
    virtual void PortWrite(uint16_t port, uint32_t value) = 0;
    // A read-only chip refuses writes to a port: the request then fails and
    // PortWrite is not called.
    virtual bool CanWrite(uint16_t port) const {
        (void)port;
        return true;
    }

    std::mutex& mutex() { return mutex_; }

  private:
    std::mutex mutex_;
};
