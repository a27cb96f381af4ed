#include "host_writes.h"

#include "fx8010_debug.h"

#include <cstring>

namespace {

constexpr ApsChipWord kCountBits = ~ApsChipWord(0) << 32;

ApsChipWord Count(ApsChipWord word) {
    return word & kCountBits;
}

} // namespace

uint32_t DbgDataBits() {
    return fx8010dbg::kZeroCounter | fx8010dbg::kSaturated | fx8010dbg::kSaturationAddress;
}

uint32_t WrittenValue(uint32_t old, const HostWrite& write) {
    if (write.reg != fx8010dbg::kRegister)
        return write.value;
    return (old & ~DbgDataBits()) | (write.value & DbgDataBits());
}

void HostWriteScanner::Rebase(const ApsChipWord* registers) {
    for (std::size_t i = 0; i < kChipRegisterCount; ++i)
        counts_[i] = Count(ApsLoadChipWord(&registers[i]));
    for (uint32_t run = 0; run < sums_.size(); ++run)
        sums_[run] = SumOfCounts(run);
    dbg_ = ApsLoadRegister(&registers[fx8010dbg::kRegister]);
}

ApsChipWord HostWriteScanner::SumOfCounts(uint32_t run) const {
    ApsChipWord sum = 0;
    for (uint32_t i = run * kRun; i < (run + 1) * kRun; ++i)
        sum += counts_[i];
    return sum;
}

bool HostWriteScanner::Scan(const ApsChipWord* registers, ChipPosition at,
                            std::vector<HostWrite>& out) {
    return ScanRuns(registers, 0, uint32_t(sums_.size()), at, out);
}

bool HostWriteScanner::ScanBelowGprs(const ApsChipWord* registers, ChipPosition at,
                                     std::vector<HostWrite>& out) {
    static_assert(Fx8010Interpreter::kGprs % kRun == 0);
    return ScanRuns(registers, 0, Fx8010Interpreter::kGprs / kRun, at, out);
}

bool HostWriteScanner::ScanRuns(const ApsChipWord* registers, uint32_t first, uint32_t end,
                                ChipPosition at, std::vector<HostWrite>& out) {
    // Most often nothing was written: each run's counts are summed, the words
    // copied plainly so that the sum runs in vector registers and only the
    // registers are read, not a copy of their counts. A word torn by a write
    // meanwhile only sends the run to the exact look below, or leaves the
    // write to the next scan, as one during the block would be.
    bool any = false;
    for (uint32_t run = first; run < end; ++run) {
        ApsChipWord sum = 0;
        for (uint32_t i = run * kRun; i < (run + 1) * kRun; ++i) {
            ApsChipWord word;
            std::memcpy(&word, registers + i, sizeof word);
            sum += Count(word);
        }
        if (sum == sums_[run]) [[likely]]
            continue;
        any |= ScanRun(registers, run * kRun, (run + 1) * kRun, at, out);
        sums_[run] = SumOfCounts(run);
    }
    return any;
}

bool HostWriteScanner::ScanRun(const ApsChipWord* registers, uint32_t first, uint32_t end,
                               ChipPosition at, std::vector<HostWrite>& out) {
    bool any = false;
    for (uint32_t i = first; i < end; ++i) {
        const ApsChipWord word = ApsLoadChipWord(&registers[i]);
        if (Count(word) != counts_[i])
            any |= Seen(i, word, at, out);
    }
    return any;
}

bool HostWriteScanner::Seen(uint32_t i, ApsChipWord word, ChipPosition at,
                            std::vector<HostWrite>& out) {
    counts_[i] = Count(word);
    const uint32_t value = uint32_t(word);
    if (i == fx8010dbg::kRegister) {
        const bool data = ((value ^ dbg_) & DbgDataBits()) != 0;
        dbg_ = value;
        if (!data)
            return false;
    }
    out.push_back({at, i, value});
    return true;
}

bool HostWriteScanner::Took(const Fx8010Interpreter::Picked& picked, bool wholePick,
                            ChipPosition at, std::vector<HostWrite>& out) {
    bool any = false;
    if (Count(picked.dbg) != counts_[fx8010dbg::kRegister])
        any |= Seen(fx8010dbg::kRegister, picked.dbg, at, out);
    if (!wholePick)
        return any;
    // Most often the scan saw them all: one pass that only compares.
    constexpr uint32_t kGprs = Fx8010Interpreter::kGprs, kCode = kMicrocodeBase;
    ApsChipWord moved = 0;
    for (uint32_t i = 0; i < kCode - kGprs; ++i)
        moved |= Count(picked.registers[i]) ^ counts_[kGprs + i];
    for (uint32_t i = 0; i < kChipRegisterCount - kCode; ++i)
        moved |= (ApsChipWord(picked.microcodeCounts[i]) << 32) ^ counts_[kCode + i];
    if (moved == 0) [[likely]]
        return any;
    for (uint32_t i = 0; i < kCode - kGprs; ++i)
        if (Count(picked.registers[i]) != counts_[kGprs + i])
            Seen(kGprs + i, picked.registers[i], at, out);
    for (uint32_t i = 0; i < kChipRegisterCount - kCode; ++i)
        if (const ApsChipWord count = ApsChipWord(picked.microcodeCounts[i]) << 32;
            count != counts_[kCode + i])
            Seen(kCode + i, count | picked.microcode[i], at, out);
    for (uint32_t run = 0; run < sums_.size(); ++run)
        sums_[run] = SumOfCounts(run);
    return true;
}

void HostWriteScanner::Reported(const ApsChipWord* registers) {
    const ApsChipWord word = ApsLoadChipWord(&registers[fx8010dbg::kRegister]);
    if (Count(word) == counts_[fx8010dbg::kRegister])
        dbg_ = uint32_t(word);
}
