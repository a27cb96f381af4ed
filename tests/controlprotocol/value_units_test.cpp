// Values in the program's units: each kind's text, and set's forms read back
// or refused. The ms are the samples at 48 kHz worked out by hand.
#include "value_units.h"

#include <gtest/gtest.h>

namespace {

const ValueUnit kTap{UnitKind::DelayTime, {10 << kDelayShift, 24000 << kDelayShift}, "tap"};
const ValueUnit kAddress{UnitKind::TramAddress, {}, ""};
const ValueUnit kNearOne{UnitKind::Fraction, RangeOf(0x7FDF3B63, 0x7FFFFFFF), "g"};

TEST(ValueUnits, EachKindIsShownInItsUnit) {
    const std::tuple<ValueUnit, uint32_t, std::string> rows[] = {
        {kTap, 14400 << kDelayShift,
         "14400 samples (300 ms) in 10 to 24000 samples (0.208 to 500 ms)"},
        {kTap, (48 << kDelayShift) | 0x7FF, "48 samples (1 ms) in"}, // the DSP's whole samples
        {kAddress, kTramReadFlag | 190, "read, 190 samples (3.96 ms)"},
        {kAddress, kTramWriteFlag | kTramAlignFlag | 1, "write, align, 1 sample (0.0208 ms)"},
        {kAddress, kTramClearFlag | kMaxTramAddress, "clear, 1048575 samples (21845 ms)"},
        {kAddress, 5, "off, 5 samples"},
        {kNearOne, 0x7FDF3B63, "0.99900 in 0.99900 to 1.00000"},
        {{UnitKind::Fraction, RangeOf(0, 0x73333333), "fb"}, 0x3FFFFFFF, "0.500 in 0.000 to 0.900"},
        {ValueUnit{}, 0x3FFFFFFF, ""}};
    for (const auto& [unit, value, text] : rows) {
        const std::string got = UnitValueText(unit, value);
        EXPECT_TRUE(got.starts_with(text) && got.empty() == text.empty()) << got;
    }
    // A slider moves a delay time in whole samples, inside its range.
    for (auto [value, snapped] : {std::pair{(48 << kDelayShift) + 1100, 49}, {0, 10}, {-1, 10}})
        EXPECT_EQ(SnapToUnit(kTap, value), snapped << kDelayShift) << value;
}

TEST(ValueUnits, SetTakesTimesAndAddressesInUnitsAndRefusesTheRest) {
    const uint32_t flags = kTramReadFlag | kTramClearFlag;
    const std::tuple<const char*, ValueUnit, std::string, uint32_t> rows[] = {
        {"300ms", kTap, "", 14400 << kDelayShift},
        {"8.51ms", kTap, "", 408 << kDelayShift}, // 408.48 samples, the nearest
        {"10smp", kTap, "", 10 << kDelayShift},
        {"9smp", kTap, "'9smp' (9 samples (0.188 ms)) is outside tap's range 10 to 24000", 0},
        {"0.3s", kTap, "'0.3s': a time is given in ms (300ms) or in samples (14400smp)", 0},
        {"-5ms", kTap, "'-5ms' is not a time in ms", 0},
        {"190smp", kAddress, "", flags | 190}, // its flags kept
        {"1048575smp", kAddress, "", flags | kMaxTramAddress},
        {"1048576smp", kAddress, "'1048576smp' is beyond a TRAM address's 1048575 samples", 0}};
    for (const auto& [text, unit, refusal, expected] : rows) {
        uint32_t value = 0;
        std::string wrong = "unset";
        EXPECT_TRUE(ParseUnitValue(text, unit, unit.name, flags | 77, &value, &wrong)) << text;
        EXPECT_TRUE(wrong.starts_with(refusal) && wrong.empty() == refusal.empty()) << wrong;
        EXPECT_EQ(value, expected) << text;
    }
    std::string wrong;
    uint32_t value = 0;
    EXPECT_FALSE(ParseUnitValue("0.5", kTap, "tap", 0, &value, &wrong))
        << "a fraction, read as before";
}

} // namespace
