// How the driver writes a number in its texts, logs and messages: "0x" and
// upper-case hexadecimal digits, zero-filled to at least `digits`.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

inline std::string HexNumber(uint32_t value, int digits = 3) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}
