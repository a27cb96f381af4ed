// Display names of opcodes and operand addresses, with hexadecimal fallbacks
// for everything the symbol file does not name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The opcode's display name, or two hex digits ("0A").
std::string OpcodeName(int32_t opcode);
// The operand address's display name (the placed program's name first, then
// the symbol file's), or "0x" and three hex digits ("0x10F").
std::string RegisterName(int32_t address);

// Every name of each table, in the order the symbol file defined them; the
// register names are followed by the placed program's.
std::vector<std::string> OpcodeNames();
std::vector<std::string> RegisterNames();
