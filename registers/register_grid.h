// Where a register sits in the register grid: four registers to a row below a
// header row of height 0, after the address column.
#pragma once

#include <cstdint>
#include <optional>

constexpr int kGridRows = 129;
constexpr int kGridColumns = 5;

struct GridCell {
    int row;
    int column;
    bool operator==(const GridCell&) const = default;
};

// Register index 0-511 to its cell: row i / 4 + 1, column i mod 4 + 1.
GridCell RegisterCell(int32_t index);

// The register of a cell, or nothing for the header row, the address column
// and cells outside the grid.
std::optional<int32_t> RegisterAt(GridCell cell);
