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

    // The bits of a result that register r keeps: the DSP sees a TRAM data
    // register's 20-bit sample in bits 12-31 and an address register's
    // 20-bit address in bits 11-30, below it the address fraction. The sink
    // past 0x3FF, where writes that go nowhere land, keeps them whole.
    static constexpr uint32_t WriteMask(uint32_t r) {
        return r >= 0x400 ? ~0u : r >= 0x300 ? 0x7FFFFFFF : r >= 0x200 ? 0xFFFFF000 : ~0u;
    }
};
