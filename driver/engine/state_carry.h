// What a program swapped in between two samples takes over from the one
// that ran until then: register values, and the contents of its delay lines
// where the new placement put them.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

struct TramSpan {
    bool external = false;
    uint32_t base = 0; // the address of its first sample, before the delay counter
    uint32_t size = 0;
    bool operator==(const TramSpan&) const = default;
};

// A delay line's samples, from where the old program had them to the new's.
struct TramMove {
    TramSpan from, to; // the same size
    bool operator==(const TramMove&) const = default;
};

struct StateCarry {
    // The running value of first becomes second's; every other register
    // takes the new program's value.
    std::vector<std::pair<uint32_t, uint32_t>> registers;
    std::vector<TramMove> moves;
    // The new program's delay lines that start silent.
    std::vector<TramSpan> silenced;
};
