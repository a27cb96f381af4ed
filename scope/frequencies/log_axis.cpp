#include "log_axis.h"

#include <algorithm>
#include <cmath>

namespace {
double Span() {
    return std::log(LogAxis::kHighHz / LogAxis::kLowHz);
}
} // namespace

double LogAxis::xOf(double hz) const {
    // A frequency of zero or less has no place on a log axis: far to the left.
    if (!(hz > 0.0))
        return -1e9;
    return width * std::log(hz / kLowHz) / Span();
}

double LogAxis::frequencyAt(double x) const {
    return kLowHz * std::exp(x / std::max(width, 1e-9) * Span());
}

std::vector<AxisMark> LogAxisMarks() {
    std::vector<AxisMark> marks;
    for (double decade = 10.0; decade <= LogAxis::kHighHz; decade *= 10.0)
        for (double step : {1.0, 2.0, 5.0}) {
            const double hz = decade * step;
            if (hz >= LogAxis::kLowHz && hz <= LogAxis::kHighHz)
                marks.push_back({hz, step == 1.0});
        }
    return marks;
}
