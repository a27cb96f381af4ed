#include "value_units.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

constexpr uint32_t kSampleFieldMask = (1u << kDelayShift) - 1;

bool WholeSamples(int32_t word) {
    return word >= 0 && (uint32_t(word) & kSampleFieldMask) == 0;
}

uint32_t DelaySamples(uint32_t word) {
    return (word >> kDelayShift) & kMaxTramAddress;
}

// Milliseconds to three significant digits, without an exponent: "300", "3.96".
std::string MsText(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, ms >= 999.5 ? "%.0f" : "%.3g", ms);
    return text;
}

double Ms(uint32_t samples) {
    return samples * 1000.0 / kUnitSampleRate;
}

bool ParseWhole(std::string_view text, uint64_t* n) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *n);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

bool ParseMs(std::string_view text, double* ms) {
    auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), *ms, std::chars_format::fixed);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size() &&
           std::isfinite(*ms) && *ms >= 0;
}

} // namespace

ValueUnit ControlUnit(const ControlInfo& control) {
    const ControlRange range = RangeOf(control.min, control.max);
    const bool delay = range.max > 0 && WholeSamples(range.min) && WholeSamples(range.max);
    return {delay ? UnitKind::DelayTime : UnitKind::Fraction, range, control.name};
}

ValueUnit RegisterUnit(uint32_t reg, const std::vector<ControlInfo>& controls) {
    for (const ControlInfo& c : controls)
        if (c.address == reg)
            return ControlUnit(c);
    if (reg >= 0x300 && reg < 0x400)
        return {UnitKind::TramAddress, {}, ""};
    return {};
}

TramAddressWord DecodeTramAddress(uint32_t word) {
    return {(word & kTramReadFlag) != 0, (word & kTramWriteFlag) != 0, (word & kTramAlignFlag) != 0,
            (word & kTramClearFlag) != 0, word & kMaxTramAddress};
}

std::string SamplesText(uint32_t samples) {
    return std::to_string(samples) + (samples == 1 ? " sample (" : " samples (") +
           MsText(Ms(samples)) + " ms)";
}

std::string UnitText(const ValueUnit& unit, uint32_t value) {
    switch (unit.kind) {
    case UnitKind::DelayTime:
        return SamplesText(DelaySamples(value));
    case UnitKind::TramAddress: {
        const TramAddressWord w = DecodeTramAddress(value);
        std::string flags;
        for (auto [on, name] : {std::pair{w.read, "read"}, std::pair{w.write, "write"},
                                std::pair{w.align, "align"}, std::pair{w.clear, "clear"}})
            if (on)
                flags += std::string(name) + ", ";
        return (flags.empty() ? "off, " : flags) + SamplesText(w.samples);
    }
    case UnitKind::Fraction:
        return FractionText(int32_t(value), RangeDecimals(unit.range));
    case UnitKind::Plain:
        break;
    }
    return "";
}

std::string UnitRangeText(const ValueUnit& unit) {
    if (unit.kind == UnitKind::Fraction)
        return RangeText(unit.range);
    if (unit.kind != UnitKind::DelayTime)
        return "";
    const uint32_t low = DelaySamples(uint32_t(unit.range.min)),
                   high = DelaySamples(uint32_t(unit.range.max));
    return std::to_string(low) + " to " + std::to_string(high) + " samples (" + MsText(Ms(low)) +
           " to " + MsText(Ms(high)) + " ms)";
}

std::string UnitValueText(const ValueUnit& unit, uint32_t value) {
    const std::string range = UnitRangeText(unit);
    return UnitText(unit, value) + (range.empty() ? "" : " in " + range);
}

int32_t SnapToUnit(const ValueUnit& unit, int32_t value) {
    if (unit.kind != UnitKind::DelayTime)
        return value;
    const int64_t step = int64_t(1) << kDelayShift;
    const int64_t snapped = (int64_t(value) + step / 2) / step * step;
    return int32_t(std::clamp<int64_t>(snapped, unit.range.min, unit.range.max));
}

bool ParseUnitValue(const std::string& text, const ValueUnit& unit, const std::string& label,
                    uint32_t current, uint32_t* value, std::string* wrong) {
    const std::string_view t = text;
    const bool smp = t.ends_with("smp"), ms = !smp && t.ends_with("ms");
    const bool seconds = !smp && !ms && t.ends_with('s') && t.size() > 1 &&
                         (std::isdigit((unsigned char)t[t.size() - 2]) || t[t.size() - 2] == '.');
    if (!smp && !ms && !seconds)
        return false;
    wrong->clear();
    if (seconds) {
        *wrong = "'" + text + "': a time is given in ms (300ms) or in samples (14400smp)";
        return true;
    }
    uint64_t samples = 0;
    double milliseconds = 0;
    if (smp ? !ParseWhole(t.substr(0, t.size() - 3), &samples)
            : !ParseMs(t.substr(0, t.size() - 2), &milliseconds)) {
        *wrong =
            "'" + text + "' is not " +
            (smp ? "a whole count of samples, such as 14400smp" : "a time in ms, such as 300ms");
        return true;
    }
    if (ms) {
        const double exact = milliseconds * kUnitSampleRate / 1000.0;
        samples = exact > kMaxTramAddress ? kMaxTramAddress + 1 : uint64_t(std::llround(exact));
    }
    if (unit.kind != UnitKind::DelayTime && unit.kind != UnitKind::TramAddress) {
        *wrong = label + " takes no ms or smp: only a delay time or a TRAM address register does";
        return true;
    }
    if (samples > kMaxTramAddress) {
        *wrong = "'" + text + "' is beyond a TRAM address's 1048575 samples";
        return true;
    }
    const uint32_t n = uint32_t(samples);
    if (unit.kind == UnitKind::TramAddress) {
        *value = (current & ~kMaxTramAddress) | n;
        return true;
    }
    if (n < DelaySamples(uint32_t(unit.range.min)) || n > DelaySamples(uint32_t(unit.range.max))) {
        *wrong = "'" + text + "' (" + SamplesText(n) + ") is outside " + unit.name + "'s range " +
                 UnitRangeText(unit);
        return true;
    }
    *value = n << kDelayShift;
    return true;
}
