#include "min_max.h"

#include <algorithm>

MinMax Joined(MinMax a, MinMax b) {
    return {std::min(a.min, b.min), std::max(a.max, b.max)};
}

int64_t ColumnStart(int64_t n, int columns, int c) {
    return n * c / columns;
}

std::vector<MinMax> DecimateMinMax(const int32_t* values, int64_t n, int columns) {
    std::vector<MinMax> out;
    if (n <= 0 || columns <= 0)
        return out;
    out.reserve(std::size_t(columns));
    for (int c = 0; c < columns; ++c) {
        const int64_t begin = ColumnStart(n, columns, c);
        const int64_t end = std::max(ColumnStart(n, columns, c + 1), begin + 1);
        MinMax m{values[begin], values[begin]};
        for (int64_t i = begin + 1; i < end; ++i)
            m = Joined(m, {values[i], values[i]});
        out.push_back(m);
    }
    return out;
}
