#include "register_grid.h"
#include "register_text.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(RegisterText, KindChangesAtTheTramDataAndUnknownBorders) {
    EXPECT_EQ(RegisterKind(0), "General Purpose");
    EXPECT_EQ(RegisterKind(255), "General Purpose");
    EXPECT_EQ(RegisterKind(256), "TRAM Data");
    EXPECT_EQ(RegisterKind(415), "TRAM Data");
    EXPECT_EQ(RegisterKind(416), "Unknown/Empty");
    EXPECT_EQ(RegisterKind(511), "Unknown/Empty");
    EXPECT_EQ(RegisterKind(-1), "Unknown/Empty");
    EXPECT_EQ(RegisterKind(512), "Unknown/Empty");
}

TEST(RegisterText, InfoRowsOfTheMostNegativeWord) {
    EXPECT_EQ(RegisterInfoLabels(),
              (RegisterInfo{"Type", "Address", "Hex", "Integer", "Fractional"}));
    EXPECT_EQ(RegisterInfoValues(164, std::numeric_limits<int32_t>::min()),
              (RegisterInfo{"General Purpose", " 0x1A4", " 0x80000000", " -2147483648", " -1.00"}));
    EXPECT_EQ(RegisterInfoValues(256, 0x40000000),
              (RegisterInfo{"TRAM Data", " 0x200", " 0x40000000", " 1073741824", " 0.50"}));
    EXPECT_EQ(RegisterInfoValues(511, -1),
              (RegisterInfo{"Unknown/Empty", " 0x2FF", " 0xFFFFFFFF", " -1", " -0.00"}));
    EXPECT_EQ(RegisterInfoValues(0, 1)[4], " 0.00");
}

TEST(RegisterText, GridAndHistoryTexts) {
    EXPECT_EQ(RegisterCellText(-2), "FFFFFFFE");
    EXPECT_EQ(GridRowHeading(1), "100");
    EXPECT_EQ(GridRowHeading(2), "104");
    EXPECT_EQ(GridRowHeading(65), "200");
    EXPECT_EQ(GridRowHeading(128), "2FC");
    EXPECT_EQ(HistoryRowText(0x40000000), "1073741824 / 0.50");
    EXPECT_EQ(HistoryRowText(std::numeric_limits<int32_t>::min()), "-2147483648 / -1.00");
    EXPECT_EQ(HistoryRowText(0), "0 / 0.00");
}

TEST(RegisterGrid, FourRegistersToARowAfterTheHeadings) {
    EXPECT_EQ(RegisterCell(0), (GridCell{1, 1}));
    EXPECT_EQ(RegisterCell(3), (GridCell{1, 4}));
    EXPECT_EQ(RegisterCell(4), (GridCell{2, 1}));
    EXPECT_EQ(RegisterCell(255), (GridCell{64, 4}));
    EXPECT_EQ(RegisterCell(511), (GridCell{128, 4}));
    for (int32_t i = 0; i < kRegisterCount; ++i)
        ASSERT_EQ(RegisterAt(RegisterCell(i)), i);
}

TEST(RegisterGrid, HeadingsAndOutsideCellsHoldNoRegister) {
    for (GridCell cell : {GridCell{0, 1}, GridCell{1, 0}, GridCell{0, 0}, GridCell{129, 1},
                          GridCell{1, 5}, GridCell{-1, -1}})
        EXPECT_FALSE(RegisterAt(cell)) << cell.row << ',' << cell.column;
}

} // namespace
