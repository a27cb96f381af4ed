// Text without the blanks, tabs and carriage returns around it, as the
// as10k1 files and messages and the debug adapter's requests are read.
#pragma once

#include <string>
#include <string_view>

inline std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

inline std::string Trimmed(const std::string& text) {
    return std::string(Trimmed(std::string_view(text)));
}
