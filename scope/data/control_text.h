// A control's range and value as the panel writes them: fractions of full
// scale with as many decimals as the range needs for its ends to differ,
// so the demo's depth (0 to 0.0003) reads "0.000000 to 0.000300", not
// "0.000 to 0.000".
#pragma once

#include "slider_scale.h"

#include <cstdint>
#include <string>

// Decimals that show the range's width to three significant digits; at
// least 3, at most 10 (2^-31, one step of a register, is 4.7e-10).
int RangeDecimals(ControlRange range);
// value as a fraction of full scale with decimals decimals ("0.000150").
std::string FractionText(int32_t value, int decimals);
// "0.000000 to 0.000300"
std::string RangeText(ControlRange range);
