#include "control_text.h"

#include <algorithm>
#include <cstdio>

namespace {

double Fraction(int32_t value) {
    return double(value) / 2147483648.0;
}

} // namespace

ControlRange RangeOf(uint32_t min, uint32_t max) {
    const int32_t a = int32_t(min), b = int32_t(max);
    return {std::min(a, b), std::max(a, b)};
}

int RangeDecimals(ControlRange range) {
    const double width = Fraction(range.max) - Fraction(range.min);
    int decimals = 3;
    double shown = width * 1000; // the width in units of the last decimal
    while (decimals < 10 && shown < 100) {
        ++decimals;
        shown *= 10;
    }
    return decimals;
}

std::string FractionText(int32_t value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, Fraction(value));
    return text;
}

std::string RangeText(ControlRange range) {
    const int decimals = RangeDecimals(range);
    return FractionText(range.min, decimals) + " to " + FractionText(range.max, decimals);
}
