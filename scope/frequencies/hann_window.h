#pragma once

#include <cstddef>
#include <vector>

// The periodic Hann window of the given length: a sine centred on a bin
// leaks into its two neighbours only.
std::vector<double> HannWindow(std::size_t size);
