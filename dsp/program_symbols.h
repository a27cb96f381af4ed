// The names of the program that the driver service placed on its chip: a
// symbol file it writes beside its socket (emuaps.d) and replaces at every
// load. Read after Symbols/8010.d, its names win for the addresses they name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class SymbolTable;

// The names of one load: a table of its own, which everything read under
// that load shares and keeps when the next load brings others.
using ProgramNames = std::shared_ptr<const SymbolTable>;

// The placed program's register names in force, never null: an empty table
// until a file was read, then the same table until the file changes.
const ProgramNames& CurrentProgramSymbols();
// The same table.
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
