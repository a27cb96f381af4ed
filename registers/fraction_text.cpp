#include "fraction_text.h"

namespace {

constexpr int kMaxDecimals = 6;
constexpr int kMinDecimals = 2;
constexpr int64_t kMillionths = 1000000;
constexpr int kFractionBits = 31;

} // namespace

std::string FractionText(int32_t value) {
    return FractionText(int64_t{value}, kFractionBits);
}

std::string FractionText(int64_t value, int fractionBits) {
    // Worked in integers: |value| * 10^6 stays below 2^52 and the rounding is
    // exact, where a double printed with "%.6f" would round halves to even.
    const int64_t magnitude = value < 0 ? -value : value;
    const int64_t half = fractionBits > 0 ? int64_t{1} << (fractionBits - 1) : 0;
    const int64_t scaled = (magnitude * kMillionths + half) >> fractionBits;

    std::string decimals = std::to_string(scaled % kMillionths);
    decimals.insert(0, kMaxDecimals - decimals.size(), '0');
    while (decimals.size() > kMinDecimals && decimals.back() == '0')
        decimals.pop_back();

    std::string text = value < 0 ? "-" : "";
    text += std::to_string(scaled / kMillionths);
    text += '.';
    text += decimals;
    return text;
}
