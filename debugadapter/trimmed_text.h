// Text without the blanks and tabs around it, as the adapter reads words and
// header fields.
#pragma once

#include <string>

inline std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}
