// The host's writes of the chip's registers, as the chip's past replays
// them: each with the position it landed before. Any writer counts (a verb's
// set, a slider, Zendra's port writes from the viewer or another client),
// since every host write counts itself in the register's shared word; the
// DSP's own writes count none. Of DBG only the bits that change what the
// DSP does or reports count (the counter's zeroing and the recorded
// saturation): stopping, stepping and letting run are how the chip is
// moved, not what it holds.
#pragma once

#include "aps_shared_chip.h"
#include "chip_image.h"
#include "chip_position.h"
#include "fx8010_interpreter.h"

#include <array>
#include <cstdint>
#include <vector>

struct HostWrite {
    ChipPosition at;
    uint32_t reg = 0;
    uint32_t value = 0;
    bool operator==(const HostWrite&) const = default;
};

// DBG's bits that a host write of it carries into the chip's past.
uint32_t DbgDataBits();
// The register's value with write made: for DBG only its data bits.
uint32_t WrittenValue(uint32_t old, const HostWrite& write);

// Finds the host's writes since it last looked, by their counts.
class HostWriteScanner {
  public:
    // Takes the registers' counts as they stand: nothing written yet.
    void Rebase(const ApsChipWord* registers);
    // Appends a write at `at` for each register written since; true when
    // there was any.
    bool Scan(const ApsChipWord* registers, ChipPosition at, std::vector<HostWrite>& out);
    // After a run of the DSP on the shared registers from `at`: the writes
    // it took as it picked the registers up that the scan before it had not
    // seen (they came in between), at `at`. wholePick: the run picked up
    // more than DBG.
    bool Took(const Fx8010Interpreter::Picked& picked, bool wholePick, ChipPosition at,
              std::vector<HostWrite>& out);
    // Appends a write at `at` for each register below the GPRs written
    // since: those the DSP does not pick up, and DBG if it came after the pick.
    bool ScanBelowGprs(const ApsChipWord* registers, ChipPosition at, std::vector<HostWrite>& out);
    // After the DSP or the past wrote DBG: DBG as it stands, unless the host
    // wrote it since the last look.
    void Reported(const ApsChipWord* registers);

  private:
    // Scan over the runs of kRun registers from first to end.
    bool ScanRuns(const ApsChipWord* registers, uint32_t first, uint32_t end, ChipPosition at,
                  std::vector<HostWrite>& out);
    bool ScanRun(const ApsChipWord* registers, uint32_t first, uint32_t end, ChipPosition at,
                 std::vector<HostWrite>& out);
    // Register i's word, its count moved: a write unless DBG's data stayed.
    bool Seen(uint32_t i, ApsChipWord word, ChipPosition at, std::vector<HostWrite>& out);
    ApsChipWord SumOfCounts(uint32_t run) const;
    static constexpr uint32_t kRun = 64;
    // Each register's count as it was, in the high half of its word, and the
    // sum of those of each run of kRun registers: a write counts one more in
    // its word, so a run's sum moves with any write to it.
    std::array<ApsChipWord, kChipRegisterCount> counts_{};
    std::array<ApsChipWord, kChipRegisterCount / kRun> sums_{};
    uint32_t dbg_ = 0;
};
