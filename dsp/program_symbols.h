// The names of the program that the driver service placed on its chip: a
// symbol file it writes beside its socket (emuaps.d) and replaces at every
// load. Read after Symbols/8010.d, its names win for the addresses they name.
#pragma once

#include <cstdint>
#include <string>

class SymbolTable;

// The placed program's register names; empty until a file was read.
const SymbolTable& ProgramSymbols();

// Counts the changes of ProgramSymbols(), so that what was built from the
// names (a lexer's word list) knows when to build again.
uint64_t ProgramSymbolsGeneration();

// Reads the file at path when it differs from the one read last (its
// identity, size or time). It follows the symbol file's own rules and limits;
// a missing, unreadable or malformed file changes nothing. Returns true when
// the names changed.
bool RefreshProgramSymbols(const std::string& path);
// The same for the service's file.
bool RefreshProgramSymbols();
