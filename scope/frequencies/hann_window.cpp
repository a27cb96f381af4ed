#include "hann_window.h"

#include <cmath>
#include <numbers>

std::vector<double> HannWindow(std::size_t size) {
    std::vector<double> window(size);
    for (std::size_t i = 0; i < size; ++i)
        window[i] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) /
                                         static_cast<double>(size));
    return window;
}
