// A mixer's program with the instruction mix of Linux's own default DSP
// program for the EMU10K1: 440 instructions (97 SKIP, 96 MACINTS, 75 ACC3,
// 70 MACS, 68 ANDXOR, 30 MACMV, 2 LOG, 2 MACINTW) and 72 idle ones after
// them. Volume and switch stages skip on the codes of their control, tone
// filters sum MACMV products and read the accumulator (10 instructions), a
// stream block skips on counters and moves external TRAM taps. Made here, in
// the way such a driver builds it, since the real one is not ours to ship.
#pragma once

#include "chip_image.h"

#include <map>

constexpr int kMixerInstructions = 440;
ChipImage MixerProgram();

// How many instructions of each opcode (0-15) the first `count` hold.
std::map<uint32_t, int> OpcodeCounts(const ChipImage& chip, int count = kMicrocodeSize);
