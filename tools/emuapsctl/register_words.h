// emuapsctl takes a register by name wherever it takes one: the placed
// program's names (emuaps.d) first, then Symbols/8010.d's.
#pragma once

#include <string>
#include <vector>

class SymbolTable;

// The words of a verb with every register name in a register's place (get's
// and watch's registers, set's first word) turned into its number; numbers,
// options and unknown words stay as they are, for the service to judge.
std::vector<std::string> ResolveRegisterNames(const std::vector<std::string>& words,
                                              const SymbolTable& program,
                                              const SymbolTable& shipped);
