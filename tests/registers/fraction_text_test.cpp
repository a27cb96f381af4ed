#include "fraction_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

struct Case {
    int32_t value;
    const char* text;
};

void ExpectAll(std::initializer_list<Case> cases) {
    for (const Case& c : cases)
        EXPECT_EQ(FractionText(c.value), c.text) << "value " << c.value;
}

TEST(FractionText, EndsOfTheRangeAndExactHalves) {
    ExpectAll({
        {std::numeric_limits<int32_t>::min(), "-1.00"}, // 0x80000000
        {0x40000000, "0.50"},
        {-0x40000000, "-0.50"},
        {0x20000000, "0.25"},
        {0x00200000, "0.000977"},
        {0, "0.00"},
        {std::numeric_limits<int32_t>::max(), "1.00"}, // just below 1, rounds up
        {-0x7FFFFFFF, "-1.00"},
    });
}

TEST(FractionText, KeepsTwoToSixDecimals) {
    ExpectAll({
        {0x0CCCCCCD, "0.10"},
        {0x4CCCCCCD, "0.60"},
        {0x0F000000, "0.117188"},
        {0x12345678, "0.142222"},
        {-0x12345678, "-0.142222"},
        {0x0C41A3F2, "0.095753"},
        {0x0000FFFF, "0.000031"},
    });
}

TEST(FractionText, SixthDecimalRoundsUpAndCarries) {
    ExpectAll({
        {1073, "0.00"},     // 0.0000004997
        {1074, "0.000001"}, // 0.0000005001
        {2147, "0.000001"},
        {214747200, "0.099999"},
        {214747400, "0.10"},      // 0.09999955 carries into the first decimals
        {2147482574, "0.999999"}, // 0.99999949988
        {0x7FFFFC00, "1.00"},     // 0.9999995232 carries into the integer digit
        {0x01000000, "0.007813"}, // exactly 0.0078125: a half rounds away from zero
        {-0x01000000, "-0.007813"},
    });
}

TEST(FractionText, NegativeValuesNearZeroKeepTheirSign) {
    ExpectAll({
        {1, "0.00"},
        {-1, "-0.00"},
        {-1073, "-0.00"},
        {-1074, "-0.000001"},
        {-2147482574, "-0.999999"},
    });
}

} // namespace
