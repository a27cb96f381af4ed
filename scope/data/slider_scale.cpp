#include "slider_scale.h"

#include <algorithm>
#include <cmath>

int SliderPosition(int32_t value, ControlRange range) {
    const double width = double(range.max) - double(range.min);
    if (width <= 0)
        return 0;
    const double v = std::clamp(double(value), double(range.min), double(range.max));
    return int(std::lround((v - range.min) * kSliderSteps / width));
}

int32_t SliderValue(int position, ControlRange range) {
    const double width = double(range.max) - double(range.min);
    const int p = std::clamp(position, 0, kSliderSteps);
    return int32_t(std::llround(double(range.min) + width * p / kSliderSteps));
}
