#pragma once

#include <cstdint>

// A register's value as a fraction of full scale (2^31). A TRAM data register
// holds a 20-bit sample in its top bits; what lies below is not the sample.
inline double SampleFraction(int32_t value, bool tramData) {
    if (tramData)
        value = static_cast<int32_t>(static_cast<uint32_t>(value) & 0xFFFFF000u);
    return static_cast<double>(value) / 2147483648.0;
}
