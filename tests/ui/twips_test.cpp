#include "twips.h"

#include <gtest/gtest.h>

TEST(Twips, ConvertsAtFifteenToThePixelRoundingToNearest) {
    EXPECT_EQ(TwipsToPixels(3270), 218);
    EXPECT_EQ(TwipsToPixels(1890), 126);
    EXPECT_EQ(TwipsToPixels(660), 44);
    EXPECT_EQ(TwipsToPixels(7), 0);
    EXPECT_EQ(TwipsToPixels(8), 1);
    EXPECT_EQ(TwipsToPixels(-8), -1);
}
