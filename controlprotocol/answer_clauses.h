// An answer's text is clauses joined by "; ": how the parsers take them apart.
#pragma once

#include "verb_words.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

std::vector<std::string> AnswerClauses(const std::string& text);

// The number after prefix, when clause is prefix and a number and nothing more.
template <class T> bool ClauseNumber(const std::string& clause, const char* prefix, T* value) {
    const std::size_t n = std::strlen(prefix);
    return clause.compare(0, n, prefix) == 0 && ParseNumber(clause.substr(n), value);
}

// A number as answers write it: "0x" and upper-case digits, at least digits of them.
inline std::string HexText(uint32_t value, int digits = 0) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}
