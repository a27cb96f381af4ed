#include "register_text.h"

#include "fraction_text.h"
#include "hex_pad.h"

namespace {

constexpr int32_t kFirstTramData = 256;
constexpr int32_t kFirstUnknown = 416;
constexpr int32_t kRegistersPerRow = 4;

std::string Prefixed(const char* prefix, const std::string& text) {
    std::string joined(prefix);
    joined += text;
    return joined;
}

} // namespace

std::string RegisterKind(int32_t index) {
    if (index >= 0 && index < kFirstTramData)
        return "General Purpose";
    if (index >= kFirstTramData && index < kFirstUnknown)
        return "TRAM Data";
    return "Unknown/Empty";
}

std::string RegisterCellText(int32_t value) {
    return HexPad(value, 8);
}

std::string GridRowHeading(int32_t row) {
    return HexPad(kFirstRegisterAddress + kRegistersPerRow * (row - 1), 3);
}

const RegisterInfo& RegisterInfoLabels() {
    static const RegisterInfo labels = {"Type", "Address", "Hex", "Integer", "Fractional"};
    return labels;
}

RegisterInfo RegisterInfoValues(int32_t index, int32_t value) {
    return {RegisterKind(index), Prefixed(" 0x", HexPad(kFirstRegisterAddress + index, 3)),
            Prefixed(" 0x", HexPad(value, 8)), Prefixed(" ", std::to_string(value)),
            Prefixed(" ", FractionText(value))};
}

std::string HistoryRowText(int32_t value) {
    std::string text = std::to_string(value);
    text += " / ";
    text += FractionText(value);
    return text;
}
