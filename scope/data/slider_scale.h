// A control's slider: its positions spread evenly between the patch's own
// minimum and maximum of the control GPR, read as the DSP's signed values.
#pragma once

#include "control_text.h"

#include <cstdint>
#include <string>

constexpr int kSliderSteps = 1000;

// The nearest position (0 to kSliderSteps) to value, clamped into the range.
int SliderPosition(int32_t value, ControlRange range);
// The value at a position (clamped to 0 to kSliderSteps).
int32_t SliderValue(int position, ControlRange range);
