// Places an as10k1 patch on a chip image beside the program already there:
// its GPRs into GPRs that the microcode does not use, its lookup tables and
// delay lines into free TRAM (internal while memory and registers last, else
// external), its code after the last instruction that does something, with
// its inputs fed from the effects bus and its outputs added to the external
// outputs. See ../engine/README-interpreter.md.
#pragma once

#include "as10k1_patch.h"
#include "chip_image.h"
#include "placed_names.h"

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
};

PatchPlacement PlacePatch(const ChipImage& chip, const As10k1Patch& patch);

// The service's chip: the image file (or the empty chip when the path is
// empty) with the patch file placed on it when patchPath is not empty. Errors
// name the file at fault.
ChipImageResult LoadChipWithPatch(const std::string& imagePath, const std::string& patchPath,
                                  std::string* summary);

// A control GPR of the patch where placement put it, with the patch's range.
struct PlacedControl {
    std::string name;
    uint32_t address = 0;
    uint32_t min = 0, max = 0;
};

// What a load says besides the image.
struct LoadedProgram {
    std::string summary; // where everything went, and which names landed where
    std::string symbols; // a symbol file of the placed names, empty of names without a patch
    std::vector<PlacedName> names; // the names in it
    std::vector<PlacedControl> controls;
    // "refused X.dbg: why" when a dump was given and refused; "" otherwise.
    std::string namesRefused;
};

// The same, with the program's names at their placed addresses: the control
// GPRs' names and the patch name from the patch file, and with namesPath
// everything in as10k1's debug dump of it. A dump that is unreadable or not
// of this patch is refused in the summary; the patch is loaded all the same.
// So is each name that is not a plain identifier or is one of taken (see
// PublishableNames).
ChipImageResult LoadChipWithPatch(const std::string& imagePath, const std::string& patchPath,
                                  const std::string& namesPath, LoadedProgram* loaded,
                                  const TakenNames& taken = {});
