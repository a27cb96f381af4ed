// One microcode instruction as the interpreter decodes it from the chip's two
// words: the operands as addresses in the DSP's view.
#pragma once

#include <cstdint>

struct Fx8010Instruction {
    enum : uint8_t {
        kAccumulatorA = 1,
        kAccumulatorX = 2,
        kAccumulatorY = 4,
        kReadsCodes = 8,
        kSkipping = 16,
    };
    uint8_t op;
    uint8_t special; // kAccumulatorA...kSkipping: what the plain path does not do
    uint16_t r, a, x, y;
    uint32_t writeMask;
};
