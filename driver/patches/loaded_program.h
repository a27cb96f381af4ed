// The service's chip: an image file with an as10k1 patch placed on it, and
// the names that patch publishes at their placed addresses.
#pragma once

#include "chip_image.h"
#include "placed_lines.h"
#include "placed_names.h"
#include "source_map.h"

#include <cstdint>
#include <string>
#include <vector>

// The image file (or the empty chip when the path is empty) with the patch
// file placed on it when patchPath is not empty. Errors name the file at fault.
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
    // Which source line made each placed instruction, when the patch was
    // given as its as10k1 source; empty otherwise.
    SourceMap source;
    // For a reload to carry the state over: the patch's own instructions,
    // its delay lines and tables, and the registers it took.
    std::size_t instructions = 0;
    std::vector<PlacedLine> lines;
    std::vector<uint32_t> owned;
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
