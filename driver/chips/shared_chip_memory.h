// The memory that the service shares with the client holding the device: a
// sealed memfd, so the client can write into it but never cut it short under
// the service. Each holder gets memory of its own, so a holder that is gone
// (or a process it forked) keeps only memory nobody reads any more.
#pragma once

#include "aps_shared_chip.h"

class SharedChipMemory {
  public:
    // All registers zero. Throws std::runtime_error when the system gives no
    // such memory.
    SharedChipMemory();
    ~SharedChipMemory();
    SharedChipMemory(const SharedChipMemory&) = delete;
    SharedChipMemory& operator=(const SharedChipMemory&) = delete;

    ApsSharedChip* chip() const { return chip_; }
    int fd() const { return fd_; }

  private:
    int fd_ = -1;
    ApsSharedChip* chip_ = nullptr;
};
