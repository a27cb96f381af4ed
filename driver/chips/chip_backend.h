// What the driver service serves: a chip behind its pointer (port 0) and data
// (port 4) registers. The service does not carry out port requests itself; it
// hands the chip to the client that opens the device, and the client's
// library carries them out on it.
#pragma once

#include "chip_ports.h"

#include <cstdint>
#include <vector>

// What a client is handed when it opens the device; the backend keeps every
// descriptor open for its own life.
struct ChipHandout {
    uint32_t kind = 0;      // APS_CHIP_SIMULATED or APS_CHIP_CARD
    int memoryFd = -1;      // the shared chip memory
    std::vector<int> files; // a card's register files, in ApsCardFiles order
};

class ChipBackend {
  public:
    virtual ~ChipBackend() = default;

    virtual ChipHandout Handout() const = 0;
    // Takes the chip back from a holder that is gone: what it was handed (and
    // whatever it forked keeps) no longer reaches the chip, and the next
    // holder starts from the registers as the last one left them. False when
    // the system gave no memory for that; the chip must not be handed out then.
    virtual bool Reclaim() { return true; }
};
