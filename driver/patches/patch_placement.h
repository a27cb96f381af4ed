// Places an as10k1 patch on a chip image beside the program already there:
// its GPRs into GPRs that the microcode does not use, its lookup tables and
// delay lines into free TRAM (internal while memory and registers last, else
// external), its code after the last instruction that does something, with
// its inputs fed from the effects bus and its outputs added to the external
// outputs. See ../engine/README-interpreter.md.
#pragma once

#include "as10k1_patch.h"
#include "chip_image.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// Where a patch's own registers went: its GPR bytes (address - 0x100) and
// its TRAM register indexes, to the chip's.
struct PatchRelocation {
    std::array<uint32_t, 256> gpr{};  // a chip GPR address
    std::array<uint32_t, 256> tram{}; // a chip TRAM register index
    // An operand of the patch's code as the chip has it.
    uint32_t Relocate(uint32_t operand) const;
};

struct PatchPlacement {
    std::optional<ChipImage> image;
    std::string error;
    // Where everything went, for the service's log.
    std::string summary;
    PatchRelocation relocation;
    // The chip address of the patch's first own instruction, after the
    // instructions that feed its inputs.
    uint32_t codeStart = 0;
};

PatchPlacement PlacePatch(const ChipImage& chip, const As10k1Patch& patch);
