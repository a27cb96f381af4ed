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
    struct Row {
        const char* text;
        ValueUnit unit;
        bool form;         // a form in units at all
        const char* wrong; // "" when taken, and then its value:
        uint32_t value = 0;
    };
    const uint32_t flags = kTramReadFlag | kTramClearFlag;
    const Row rows[] = {
        {"300ms", kTap, true, "", 14400 << kDelayShift},
        {"8.51ms", kTap, true, "", 408 << kDelayShift}, // 408.48 samples, the nearest
        {"10smp", kTap, true, "", 10 << kDelayShift},
        {"9smp", kTap, true, "'9smp' (9 samples (0.188 ms)) is outside tap's range 10 to 24000"},
        {"24001smp", kTap, true, "is outside tap's range"},
        {"0.3s", kTap, true, "'0.3s': a time is given in ms (300ms) or in samples (14400smp)"},
        {"-5ms", kTap, true, "'-5ms' is not a time in ms"},
        {"1e3ms", kTap, true, "is not a time in ms"},
        {"190smp", kAddress, true, "", flags | 190},
        {"1048575smp", kAddress, true, "", flags | kMaxTramAddress},
        {"1048576smp", kAddress, true, "beyond a TRAM address's 1048575 samples"},
        {"99999999999ms", kAddress, true, "beyond a TRAM address's"},
        {"2ms", kNearOne, true, "g takes no ms or smp"},
        {"0.5", kTap, false, ""}};
    for (const Row& row : rows) {
        uint32_t value = 0;
        std::string wrong = "unset";
        const bool form =
            ParseUnitValue(row.text, row.unit, row.unit.name, flags | 77, &value, &wrong);
        EXPECT_EQ(form, row.form) << row.text;
        if (!form)
            continue;
        EXPECT_TRUE(wrong.find(row.wrong) != std::string::npos && wrong.empty() == !*row.wrong)
            << row.text << ": " << wrong;
        EXPECT_EQ(value, wrong.empty() ? row.value : 0u) << row.text;
    }
}

} // namespace
