// A control's range and value as the answers and the scope write them:
// fractions of full scale with as many decimals as the range needs for its
// ends to differ, so the demo's depth (0 to 0.0003) reads "0.000000 to
// 0.000300", not "0.000 to 0.000".
#pragma once

#include <cstdint>
#include <string>

// A control's range: the patch's minimum and maximum, as the DSP's signed values.
struct ControlRange {
    int32_t min = 0;
    int32_t max = 0;
    bool operator==(const ControlRange&) const = default;
};

// The range of the patch's min and max (their words as signed values), the
// smaller first.
ControlRange RangeOf(uint32_t min, uint32_t max);

// Decimals that show the range's width to three significant digits; at
// least 3, at most 10 (2^-31, one step of a register, is 4.7e-10).
int RangeDecimals(ControlRange range);
// value as a fraction of full scale with decimals decimals ("0.000150").
std::string FractionText(int32_t value, int decimals);
// "0.000000 to 0.000300"
std::string RangeText(ControlRange range);
