// A register's 32-bit word read as a signed fixed-point fraction (1.31).
#pragma once

#include <cstdint>
#include <string>

// value / 2^31 as text: at least one digit before the point, two to six after
// it, the sixth rounded with halves away from zero. The sign follows the
// value, so a small negative word reads "-0.00".
std::string FractionText(int32_t value);
// value / 2^fractionBits (0 to 31) the same way: a 20-bit TRAM sample is a
// fraction of 2^19.
std::string FractionText(int64_t value, int fractionBits);
