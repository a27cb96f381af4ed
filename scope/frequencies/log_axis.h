// The spectrum's frequency axis: logarithmic from 20 Hz to 24 kHz over a
// width in pixels.
#pragma once

#include <vector>

struct LogAxis {
    static constexpr double kLowHz = 20.0;
    static constexpr double kHighHz = 24000.0;

    double width = 1.0;

    // x = 0 at 20 Hz, x = width at 24 kHz; outside the range x runs on.
    double xOf(double hz) const;
    // The inverse of xOf; frequencies are positive for every x.
    double frequencyAt(double x) const;
};

struct AxisMark {
    double hz;
    bool decade;
};

// The 1-2-5 marks from 20 Hz to 24 kHz, decades flagged: 20, 50, 100, 200, ...
std::vector<AxisMark> LogAxisMarks();
