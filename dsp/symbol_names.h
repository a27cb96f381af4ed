// Display names of opcodes and operand addresses, with hexadecimal fallbacks
// for everything the symbol file does not name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class SymbolTable;

// The opcode's display name, or two hex digits ("0A").
std::string OpcodeName(int32_t opcode);
// Whose code an operand is of: the chip's, whose registers the placed
// program's names name first, or another program's (an effect of the effects
// library), whose registers merely share the numbers: only the symbol file's
// names are for them.
enum class CodeOf { Chip, OtherProgram };

// The operand address's display name (for the chip's code the placed
// program's name first, then the symbol file's), or "0x" and three hex
// digits ("0x10F").
std::string RegisterName(int32_t address, CodeOf code = CodeOf::Chip);
// The program names in force for code: the placed program's for the chip's,
// none (null) for another program's.
const SymbolTable* ProgramNamesOf(CodeOf code);
// The name for the chip's code as read under programNames, the names of the
// program then placed (null: none).
std::string RegisterName(int32_t address, const SymbolTable* programNames);

// Every name of each table, in the order the symbol file defined them; the
// register names are followed by the placed program's.
std::vector<std::string> OpcodeNames();
std::vector<std::string> RegisterNames();
