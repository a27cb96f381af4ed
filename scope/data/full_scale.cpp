#include "full_scale.h"

#include <cstdio>

double Fraction(int32_t value) {
    return double(value) / 2147483648.0;
}

bool IsTramData(uint32_t address) {
    return address >= 0x200 && address < 0x300;
}

std::string ValueText(uint32_t address, int32_t value) {
    char text[64];
    if (IsTramData(address))
        std::snprintf(text, sizeof text, "%.5f (20-bit %d)", Fraction(value), value >> 12);
    else
        std::snprintf(text, sizeof text, "%.5f", Fraction(value));
    return text;
}
