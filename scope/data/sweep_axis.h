// Where a sweep's samples lie across the plot: pixel x draws the column that
// starts at the sample SampleAtX names, as the decimation cuts them, so a
// point the mouse is on and the cursor drawn at a sample agree with the trace.
#pragma once

#include "scope_model.h"

#include <cstdint>
#include <optional>

// The first sample of the column drawn at pixel x of width pixels (x held
// within the plot); nullopt for an empty sweep or plot.
std::optional<uint64_t> SampleAtX(const ScopeFrame& frame, int width, int x);
// The pixel whose column holds sample; nullopt outside the sweep.
std::optional<int> XOfSample(const ScopeFrame& frame, int width, uint64_t sample);
// Where sample lies against the sweep: -1 before it, 0 in it, 1 after it.
int SideOfSweep(const ScopeFrame& frame, uint64_t sample);
