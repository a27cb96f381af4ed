// The register names of the program the service placed (emuaps.d beside
// its socket), for the traces' register boxes.
#pragma once

#include <cstdint>
#include <map>
#include <string>

using ProgramNames = std::map<std::string, uint32_t>;

// Each name with its operand address; none when the file is missing or cannot be read.
ProgramNames ReadPlacedProgramNames();
