// Where the chip stands in its run: the samples ended since the load, and the
// next instruction of the sample under way. Positions order the chip's past.
#pragma once

#include <compare>
#include <cstdint>

struct ChipPosition {
    uint64_t samples = 0; // samples ended
    uint32_t pc = 0;      // the next instruction of the sample under way
    auto operator<=>(const ChipPosition&) const = default;
};
