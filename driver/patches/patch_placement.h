// Places an as10k1 patch on a chip image beside the program already there:
// its GPRs into GPRs that the microcode does not use, its lookup tables and
// delay lines into free TRAM (internal while memory and registers last, else
// external), its code after the last instruction that does something, with
// its inputs fed from the effects bus and its outputs added to the external
// outputs. See ../engine/README-interpreter.md.
#pragma once

#include "as10k1_patch.h"
#include "chip_image.h"

#include <optional>
#include <string>

struct PatchPlacement {
    std::optional<ChipImage> image;
    std::string error;
    // Where everything went, for the service's log.
    std::string summary;
};

PatchPlacement PlacePatch(const ChipImage& chip, const As10k1Patch& patch);

// The service's chip: the image file (or all zero registers when the path is
// empty) with the patch file placed on it when patchPath is not empty. Errors
// name the file at fault.
ChipImageResult LoadChipWithPatch(const std::string& imagePath, const std::string& patchPath,
                                  std::string* summary);
