// What a reload keeps of the running program: old placement and new, by
// name. A register of the same name and kind in both keeps its running
// value, unless its value in the new program changed (an edited coefficient
// is heard); a delay line or table of the same name and size keeps its
// samples, moved where the new placement put it. The GPRs and TRAM
// registers neither program took (the image's own program's) keep theirs
// where the image did not change them. Everything else, the microcode and
// the chip's other registers among it, starts as the new image says.
#pragma once

#include "chip_image.h"
#include "loaded_program.h"
#include "state_carry.h"

#include <string>
#include <vector>

struct CarryPlan {
    StateCarry carry;
    // Names for the answer (a TRAM access's address register goes with its
    // data register and is left out, unless its tap changed): kept, kept
    // but taking the new program's value, only in the new program, only in
    // the old one.
    std::vector<std::string> kept, changed, fresh, gone;
    // Delay lines and tables, named: kept with their samples; new or resized;
    // only in the old program.
    std::vector<PlacedLine> keptLines, freshLines, goneLines;
};

// oldImage and newImage: each program's registers as loaded, before it ran.
CarryPlan PlanCarry(const ChipImage& oldImage, const LoadedProgram& oldProgram,
                    const ChipImage& newImage, const LoadedProgram& newProgram);

// "reloaded echo.emu10k1: 6 -> 7 instructions; kept fb wet, dl (300 ms);
// new lp; gone —", with "changed ..." after kept when a value changed.
std::string CarryText(const std::string& file, const LoadedProgram& oldProgram,
                      const LoadedProgram& newProgram, const CarryPlan& plan);
