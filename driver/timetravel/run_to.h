// Runs a DSP forward to an exact position: whole samples, then the
// instructions of the position's sample before its instruction.
#pragma once

#include "chip_position.h"
#include "fx8010_interpreter.h"

#include <algorithm>
#include <climits>

inline ChipPosition PositionOf(const Fx8010Interpreter& dsp) {
    return {dsp.samples(), dsp.pc()};
}

// registers: the shared words (ApsChipWord*) or a ChipImage. True when the
// DSP stands at `to`; false when it stood past it already, or to.pc is not
// on the sample's path (a SKIP passed over it): then it stands at the next
// sample's start.
template <class Registers>
bool RunTo(Fx8010Interpreter& dsp, Registers& registers, ChipPosition to) {
    while (dsp.samples() < to.samples)
        dsp.Advance(registers, int(std::min<uint64_t>(to.samples - dsp.samples(), INT_MAX)));
    if (dsp.samples() == to.samples && dsp.pc() < to.pc) {
        DebugTargets before;
        before.breaks = {to.pc};
        dsp.RunUntil(registers, before, 1, false);
    }
    return PositionOf(dsp) == to;
}
