// The definition of the listing language "D8010", built from the symbol
// tables: each word class as one text of names joined by line feeds.
#pragma once

#include <string>
#include <vector>

struct ListingLanguageDefinition {
    std::string name;          // "D8010"
    std::string registerWords; // register and constant names
    std::string opcodeWords;   // opcode names
};

// Names joined with a line feed between them, none after the last.
std::string JoinWordList(const std::vector<std::string>& names);

// Throws std::runtime_error when either table has no names: the language then
// cannot be built.
ListingLanguageDefinition MakeListingLanguage(const std::vector<std::string>& registerNames,
                                              const std::vector<std::string>& opcodeNames);
