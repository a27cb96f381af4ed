// A reload the verdict took, swapped into the running chip between two
// samples with the state that carries over by name (see carry_plan.h).
#pragma once

#include "carry_plan.h"
#include "reload_verdict.h"
#include "simulated_chip.h"

#include <string>

struct ProgramOnChip {
    ChipImage image; // as it was loaded, before it ran
    LoadedProgram program;
};

// file: what the answer calls the program. The answer and log say what was
// kept, changed, new and gone, and which names moved; a DSP that stands
// inside a sample refuses the swap, and then nothing changes.
ReloadVerdict SwapReload(SimulatedChip& chip, const std::string& file, const ProgramOnChip& before,
                         const ProgramOnChip& after, ReloadVerdict verdict);
