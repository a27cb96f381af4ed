// The registers as one run of the DSP sees them while the chip replays its
// past. They are taken whole from the shared memory before the run: a host
// write (a client's port write lands at any moment) is either in the take,
// where the past logs it, or comes after it and waits for the next run. So
// every write takes effect exactly where the past says it does, and a replay
// makes it there. What the run changed goes back afterwards only where the
// host has not written since: the host's write is the newer one.
#pragma once

#include "aps_shared_chip.h"
#include "chip_image.h"

#include <array>

class TakenRegisters {
  public:
    // A copy of shared, word by word, for the DSP to run on.
    ApsChipWord* Take(const ApsChipWord* shared);
    // The DSP's changes of the copy into shared. Only the DSP may change the
    // copy, and only what it writes: the past makes its writes on shared.
    void Give(ApsChipWord* shared) const;

  private:
    alignas(16) std::array<ApsChipWord, kChipRegisterCount> words_{};
    std::array<ApsChipWord, kChipRegisterCount> taken_{}; // as taken
};
