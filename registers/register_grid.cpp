#include "register_grid.h"

namespace {

constexpr int kRegistersPerRow = kGridColumns - 1;

} // namespace

GridCell RegisterCell(int32_t index) {
    return {index / kRegistersPerRow + 1, index % kRegistersPerRow + 1};
}

std::optional<int32_t> RegisterAt(GridCell cell) {
    if (cell.row < 1 || cell.row >= kGridRows || cell.column < 1 || cell.column >= kGridColumns)
        return std::nullopt;
    return (cell.row - 1) * kRegistersPerRow + (cell.column - 1);
}
