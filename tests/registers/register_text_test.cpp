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
    EXPECT_EQ(RegisterInfoValues(255, 0x40000000),
              (RegisterInfo{"General Purpose", " 0x1FF", " 0x40000000", " 1073741824", " 0.50"}));
    EXPECT_EQ(RegisterInfoValues(511, -1),
              (RegisterInfo{"Unknown/Empty", " 0x2FF", " 0xFFFFFFFF", " -1", " -0.000002"}));
    EXPECT_EQ(RegisterInfoValues(0, 1)[4], " 0.00");
}

// A TRAM data register shows its 20-bit sample; the bits above it are ignored.
TEST(RegisterText, TramDataRowsShowTheSample) {
    struct Case {
        int32_t index, value;
        const char *integer, *fraction, *history;
    } cases[] = {
        {256, 0x0007FFFF, " 524287", " 0.999998", "524287 / 0.999998"},
        {256, 0x00080000, " -524288", " -1.00", "-524288 / -1.00"},
        {300, 0x00040000, " 262144", " 0.50", "262144 / 0.50"},
        {511, -1, " -1", " -0.000002", "-1 / -0.000002"},
        {400, 0x7FF00001, " 1", " 0.000002", "1 / 0.000002"},
    };
    for (const Case& c : cases) {
        RegisterInfo info = RegisterInfoValues(c.index, c.value);
        EXPECT_EQ(info[3], c.integer) << c.index;
        EXPECT_EQ(info[4], c.fraction) << c.index;
        EXPECT_EQ(HistoryRowText(c.index, c.value), c.history) << c.index;
    }
}

TEST(RegisterText, GridAndHistoryTexts) {
    EXPECT_EQ(RegisterCellText(-2), "FFFFFFFE");
    EXPECT_EQ(GridRowHeading(1), "100");
    EXPECT_EQ(GridRowHeading(2), "104");
    EXPECT_EQ(GridRowHeading(65), "200");
    EXPECT_EQ(GridRowHeading(128), "2FC");
    EXPECT_EQ(HistoryRowText(0, 0x40000000), "1073741824 / 0.50");
    EXPECT_EQ(HistoryRowText(0, std::numeric_limits<int32_t>::min()), "-2147483648 / -1.00");
    EXPECT_EQ(HistoryRowText(0, 0), "0 / 0.00");
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
