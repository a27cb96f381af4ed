#include "listing_language_definition.h"

#include <stdexcept>

std::string JoinWordList(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& name : names) {
        if (!list.empty())
            list += '\n';
        list += name;
    }
    return list;
}

ListingLanguageDefinition MakeListingLanguage(const std::vector<std::string>& registerNames,
                                              const std::vector<std::string>& opcodeNames) {
    if (registerNames.empty())
        throw std::runtime_error("The symbol file names no registers: no listing language");
    if (opcodeNames.empty())
        throw std::runtime_error("The symbol file names no opcodes: no listing language");
    return {"D8010", JoinWordList(registerNames), JoinWordList(opcodeNames)};
}
