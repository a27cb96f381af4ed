#include "register_choice.h"

#include <cctype>
#include <cstdio>

std::optional<uint32_t> RegisterOf(const std::string& text,
                                   const std::map<std::string, uint32_t>& names) {
    if (const auto named = names.find(text); named != names.end())
        return named->second < kOperandCount ? std::optional(named->second) : std::nullopt;
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits = digits.substr(2);
    if (digits.empty() || digits.size() > 3)
        return std::nullopt;
    uint32_t value = 0;
    for (char c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        value = value * 16 + uint32_t(std::isdigit(static_cast<unsigned char>(c))
                                          ? c - '0'
                                          : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
    }
    return value < kOperandCount ? std::optional(value) : std::nullopt;
}

std::string AddressText(uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%03X", address);
    return text;
}
