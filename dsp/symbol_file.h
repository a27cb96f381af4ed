// Loading the symbol file Symbols/8010.d: a sectioned text file of names and
// values that gives the DSP's opcodes and operand addresses their names.
//
//   [OPCODES]                      -> opcode table
//   [CONSTANTS] [PHISICAL] [VIRTUAL] -> register table
//   name 0xHHHH // note
//
// Malformed entry lines are skipped silently, and so are lines longer than
// kMaxSymbolLine; only a file that cannot be read (missing, not a regular
// file, larger than kMaxSymbolFileBytes) or a lone "[" header stops the load
// (std::runtime_error).
#pragma once

#include <cstdint>
#include <string>

// A symbol file of a few thousand names stays far below these.
constexpr uint64_t kMaxSymbolFileBytes = 4 << 20;
constexpr std::size_t kMaxSymbolLine = 4096;

class SymbolTable;

// Reads symbol file text into the given tables.
void ReadSymbolText(const std::string& text, SymbolTable& opcodes, SymbolTable& registers);

// Reads the file at path into the given tables; returns 0.
int LoadSymbolFile(const std::string& path, SymbolTable& opcodes, SymbolTable& registers);
// Reads the file at path into OpcodeSymbols and RegisterSymbols; returns 0.
int LoadSymbolFile(const std::string& path);
// Reads the symbol file that ships with the program; returns 0.
int LoadSymbolFile();

// Where the shipped symbol file lives: <program folder>/Symbols/8010.d.
std::string SymbolFilePath();
