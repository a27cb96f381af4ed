// The smallest and largest value of a run of samples: what one pixel column
// of a scope draws, so a one-sample spike still shows.
#pragma once

#include <cstdint>
#include <vector>

struct MinMax {
    int32_t min = 0;
    int32_t max = 0;
    bool operator==(const MinMax&) const = default;
};

// Both of a and b.
MinMax Joined(MinMax a, MinMax b);

// The column c of columns covers samples [c * n / columns, (c + 1) * n / columns),
// or the one sample at its start when that run is empty (more columns than
// samples). Empty for no samples or no columns.
std::vector<MinMax> DecimateMinMax(const int32_t* values, int64_t n, int columns);

// Where column c of columns over n samples starts.
int64_t ColumnStart(int64_t n, int columns, int c);
