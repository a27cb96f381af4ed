// The registers whose values the DSP computes sample by sample, so that a
// recording or a value break can follow them: the outputs, the GPRs and the
// TRAM data registers (a delay line's sample in bits 12-31).
#pragma once

#include "hex_number.h"

#include <cstdint>
#include <string>

// "" for one of those, else why not, to follow the register's label:
// " is a DSP constant".
inline std::string WhyNoSignal(uint32_t operand) {
    if (operand < 0x20)
        return " is an input, which the DSP reads";
    if (operand < 0x40 || (operand >= 0x100 && operand < 0x300))
        return "";
    if (operand < 0x56)
        return " is a DSP constant";
    if (operand < 0x100)
        return " is none of the DSP's signals (the accumulator, the codes, noise, a counter)";
    if (operand < 0x400)
        return " is a TRAM address register, which holds an address, not a sample";
    return " is no DSP operand (0 to 0x3FF)";
}
