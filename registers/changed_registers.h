// Which registers changed between the last two reads, and the search for the
// next changed register within a range of the register image.
#pragma once

#include "chip_snapshots.h"

#include <cstdint>
#include <functional>
#include <optional>

// True when register index differs between the current image and the one read
// before it; false on the first read (no earlier image) and outside the image.
bool RegisterChanged(const GprHistory& images, int32_t index);

struct RegisterRange {
    int32_t lo;
    int32_t hi;
};
constexpr RegisterRange kAnyRegisterRange{0, 511};
constexpr RegisterRange kGeneralPurposeRange{0, 255};
constexpr RegisterRange kTramDataRange{256, 415};

// Examines range for changed(index), starting after start. When start lies in
// the range, the pass runs upwards from start + 1, wraps from hi to lo and
// ends just before start; otherwise it runs from lo to hi once. Returns the
// first index for which changed is true.
std::optional<int32_t> FindNextChanged(RegisterRange range, int32_t start,
                                       const std::function<bool(int32_t)>& changed);

enum class FindOutcome {
    Found,          // index names the register
    NoneChanged,    // the pass found no change; the selection stays
    NoEarlierImage, // only one read so far: nothing to compare with
};
struct FindResult {
    FindOutcome outcome;
    int32_t index = 0;
};

// The next changed register of images in range, starting after start.
FindResult FindChangedRegister(const GprHistory& images, RegisterRange range, int32_t start);
