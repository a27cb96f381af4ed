// Carries out the steps that a host writes to a running chip's debug register
// as soon as they are written, on a thread of its own, whatever paces the
// chip's blocks: the system clock, or a sound device that the runner is
// blocked on. A stopped chip so answers a step well within a millisecond.
#pragma once

#include "simulated_chip.h"

#include <atomic>
#include <thread>

class DebugStepServer {
  public:
    explicit DebugStepServer(SimulatedChip& chip);
    ~DebugStepServer();
    DebugStepServer(const DebugStepServer&) = delete;
    DebugStepServer& operator=(const DebugStepServer&) = delete;

  private:
    SimulatedChip& chip_;
    std::atomic<bool> stop_ = false;
    std::thread thread_;
};
