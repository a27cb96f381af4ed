// Where a placed patch's delay lines and tables lie, by the names its dump
// gives them, and which chip registers the patch took: what a reload needs
// to know to carry the running state over to the next placement.
#pragma once

#include "as10k1_names.h"
#include "as10k1_patch.h"
#include "chip_image.h"
#include "state_carry.h"

#include <string>
#include <vector>

struct PatchRelocation;

struct PlacedLine {
    std::string name; // the dump's; "" without one
    TramSpan span;
    bool operator==(const PlacedLine&) const = default;
};

// The patch's blocks with a tap, tables first, as placed on placed.
std::vector<PlacedLine> PlaceLines(const As10k1Patch& patch, const As10k1Names* dump,
                                   const PatchRelocation& relocation, const ChipImage& placed);

// The chip's GPRs and TRAM data and address registers the patch took, ascending.
std::vector<uint32_t> OwnedRegisters(const As10k1Patch& patch, const PatchRelocation& relocation);
