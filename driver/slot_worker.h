// The thread that serves one client's shared-memory slot: waits for a request
// (spinning briefly after each one, then sleeping on a futex), answers it from
// the chip and wakes the client only when it sleeps.
#pragma once

#include "aps_channel.h"
#include "chip_backend.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

// A request as the service received it, before any check.
struct CapturedRequest {
    uint32_t code = 0;
    uint32_t inputSize = 0;
    uint32_t outputSize = 0;
    std::array<uint8_t, APS_SLOT_INPUT_MAX> input{};
};
using RequestObserver = std::function<void(const CapturedRequest&)>;

class SlotWorker {
  public:
    SlotWorker(ApsSlot* slot, ChipBackend& chip, RequestObserver observer);
    ~SlotWorker();
    SlotWorker(const SlotWorker&) = delete;
    SlotWorker& operator=(const SlotWorker&) = delete;

  private:
    void Run();
    void Serve(uint32_t seq);

    ApsSlot* slot_;
    ChipBackend& chip_;
    RequestObserver observer_;
    // Taken before the client can see the slot, so its first request counts.
    uint32_t served_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
