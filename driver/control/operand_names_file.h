// Symbols/8010.d's names of the DSP's operands, from the file the viewer and
// the tools read (beside the program), for the service's verbs; and the
// names a program placed beside them cannot take.
#pragma once

#include "placed_names.h"
#include "register_names.h"

#include <string>
#include <vector>

// Each name with its operand (0x000-0x3FF), in the file's order; none, and
// why, when the file cannot be read.
std::vector<NamedRegister> ReadOperandNames(const std::string& path, std::string* why);
// The same of the shipped Symbols/8010.d.
std::vector<NamedRegister> ReadShippedOperandNames(std::string* why);

// The chip's register names (DBG) and those operand names, each with what it
// names, for PublishableNames.
TakenNames NamesTaken(const std::vector<NamedRegister>& operands);

// A placed program's names as the verbs take them.
std::vector<NamedRegister> ProgramRegisterNames(const std::vector<PlacedName>& placed);
