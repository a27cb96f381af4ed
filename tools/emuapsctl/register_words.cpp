#include "register_words.h"

#include "symbol_table.h"

#include <cctype>
#include <cstdio>

namespace {

bool IsRegisterPlace(const std::vector<std::string>& words, std::size_t i) {
    const std::string& verb = words[0];
    if (verb == "set")
        return i == 1;
    if (verb == "get")
        return true;
    // watch REG... [--for SECONDS]
    return verb == "watch" && words[i] != "--for" && words[i - 1] != "--for";
}

const int32_t* Find(const SymbolTable& table, const std::string& name) {
    return table.ValueByName().find(name);
}

} // namespace

std::vector<std::string> ResolveRegisterNames(const std::vector<std::string>& words,
                                              const SymbolTable& program,
                                              const SymbolTable& shipped) {
    std::vector<std::string> out = words;
    for (std::size_t i = 1; i < out.size(); ++i) {
        const std::string& word = out[i];
        if (word.empty() || std::isdigit(static_cast<unsigned char>(word[0])) ||
            !IsRegisterPlace(words, i))
            continue;
        const int32_t* value = Find(program, word);
        if (!value)
            value = Find(shipped, word);
        if (!value || *value < 0)
            continue;
        char number[16];
        std::snprintf(number, sizeof number, "0x%03X", unsigned(*value));
        out[i] = number;
    }
    return out;
}
