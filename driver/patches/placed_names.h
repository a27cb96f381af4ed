// A patch's names at the addresses its placement gave them, and the symbol
// file that carries them to the viewer.
#pragma once

#include "as10k1_names.h"
#include "as10k1_patch.h"
#include "patch_placement.h"

#include <cstdint>
#include <string>
#include <vector>

struct PlacedName {
    std::string name;
    uint32_t address = 0; // on the chip
    std::string kind;     // "Control", "Input", ..., "TRAM data", "TRAM address"
};

// The control GPRs' names from the patch itself; with a dump (already checked
// to be of this patch), every named GPR, and each TRAM access's data register
// by its name and its address register as NAME.a, as as10k1 writes them.
std::vector<PlacedName> PlaceNames(const As10k1Patch& patch, const As10k1Names* dump,
                                   const PatchRelocation& relocation);

// The names in the symbol file's format, in its [VIRTUAL] section, each with
// the patch and its kind as the note.
std::string SymbolFileText(const std::string& patchName, const std::vector<PlacedName>& names);

// The symbol file of a chip with no program's names (no patch, a real card).
std::string NoProgramSymbols();

// For the log: "names: rate 0x11E, centre 0x11F, ...".
std::string NamesSummary(const std::vector<PlacedName>& names);
