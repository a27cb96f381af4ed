// A patch's names at the addresses its placement gave them, and the symbol
// file that carries them to the viewer.
#pragma once

#include "as10k1_names.h"
#include "as10k1_patch.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct PatchRelocation;

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

// A name the program cannot have: what it names already, and where.
struct TakenName {
    uint32_t address = 0;
    std::string what; // "Symbols/8010.d's name of 0x057"
};
using TakenNames = std::map<std::string, TakenName>;

// A letter, then letters, digits, '_' or '.' (as10k1's "left.o"), at most
// 34 characters (as10k1's 32 and ".a"): a word of the symbol file, the
// listing and emuapsctl alike.
bool IsPlainIdentifier(const std::string& name);

// The names that may be published, in order: plain identifiers, neither
// taken for another register nor given to two. Each other one is refused
// with a line in refusals ("refused CCR for 0x105: ...").
std::vector<PlacedName> PublishableNames(const std::vector<PlacedName>& names,
                                         const TakenNames& taken,
                                         std::vector<std::string>* refusals);

// The names in the symbol file's format, in its [VIRTUAL] section, each with
// the patch and its kind as the note.
std::string SymbolFileText(const std::string& patchName, const std::vector<PlacedName>& names);

// The symbol file of a chip with no program's names (no patch, a real card).
std::string NoProgramSymbols();

// For the log: "names: rate 0x11E, centre 0x11F, ...".
std::string NamesSummary(const std::vector<PlacedName>& names);

// What a new load did to the names of the one before, for a reload's answer
// and log: "moved rate 0x10A -> 0x10B, ...; new extra 0x107; gone dry 0x10C",
// or "every name stays where it was".
std::string NamesMovedText(const std::vector<PlacedName>& before,
                           const std::vector<PlacedName>& after);
