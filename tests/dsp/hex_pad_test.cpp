#include "hex_pad.h"

#include <gtest/gtest.h>

namespace {

TEST(HexPad, PadsToWidthWithUpperCaseDigits) {
    EXPECT_EQ(HexPad(255, 2), "FF");
    EXPECT_EQ(HexPad(5, 3), "005");
    EXPECT_EQ(HexPad(10, 2), "0A");
    EXPECT_EQ(HexPad(0, 3), "000");
    EXPECT_EQ(HexPad(0, 0), "0");
}

TEST(HexPad, NeverCutsALongerNumber) {
    EXPECT_EQ(HexPad(4096, 3), "1000");
    EXPECT_EQ(HexPad(0x7FFFFFFF, 2), "7FFFFFFF");
}

TEST(HexPad, NegativeValuesShowAllEightDigits) {
    EXPECT_EQ(HexPad(-1, 2), "FFFFFFFF");
    EXPECT_EQ(HexPad(-32768, 3), "FFFF8000");
}

} // namespace
