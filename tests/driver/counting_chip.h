// A chip whose program counts in its first n GPRs: instruction i adds 1 to
// 0x100 + i, which starts at i << 16, so after sample s it holds
// (i << 16) + s + 1, the oracle for any sample of any register kept.
#pragma once

#include "chip_image.h"
#include "control_verbs.h"
#include "emu10k1_words.h"
#include "fx8010_alu.h"

inline ChipImage CountingChip(uint32_t gprs = 0x100) {
    ChipImage chip;
    for (uint32_t i = 0; i < uint32_t(kMicrocodeSize); ++i) {
        const bool counts = i < gprs;
        const Fx8010Words w = Fx8010PackInstruction(
            counts ? Fx8010Fields{fx8010::kAcc3, 0x100 + i, 0x100 + i, 0x41, 0x40}
                   : Fx8010Fields{fx8010::kAcc3, 0x40, 0x40, 0x40, 0x40});
        chip.registers[kMicrocodeBase + 2 * i] = w.low;
        chip.registers[kMicrocodeBase + 2 * i + 1] = w.high;
        if (counts)
            chip.registers[0x100 + i] = i << 16;
    }
    return chip;
}

inline int32_t Counted(uint32_t reg, uint64_t sample) {
    return int32_t(((reg - 0x100) << 16) + sample + 1);
}

// The counting chip run for `ran` samples, its history holding `held`, and
// the verbs' context over both.
struct CountingService {
    SimulatedChip chip;
    HistoryRecorder history;
    ControlContext context;
    CountingService(int64_t held, int ran, HistoryRecorder::Log log = {})
        : history(held, std::move(log)) {
        chip.Observe(&history);
        chip.Load(CountingChip());
        chip.Run(ran);
        context.chip = &chip;
        context.history = &history;
    }
};
