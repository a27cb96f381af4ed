#include "register_text.h"

#include "emu10k1_words.h"
#include "fraction_text.h"
#include "hex_pad.h"

namespace {

constexpr int32_t kFirstTramData = 256;
constexpr int32_t kFirstUnknown = 416;
constexpr int32_t kRegistersPerRow = 4;

// A TRAM data register's word is shown as its sample (what the sound driver
// masks it to) and the sample's fraction of full scale.
bool HoldsTramSample(int32_t index) {
    return index >= kFirstTramData && index < kRegisterCount;
}

int64_t ShownInteger(int32_t index, int32_t value) {
    if (!HoldsTramSample(index))
        return value;
    return Emu10k1TramSample(static_cast<uint32_t>(value));
}

std::string ShownFraction(int32_t index, int32_t value) {
    if (!HoldsTramSample(index))
        return FractionText(value);
    return FractionText(ShownInteger(index, value), EMU10K1_TRAM_SAMPLE_BITS - 1);
}

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
            Prefixed(" 0x", HexPad(value, 8)),
            Prefixed(" ", std::to_string(ShownInteger(index, value))),
            Prefixed(" ", ShownFraction(index, value))};
}

std::string HistoryRowText(int32_t index, int32_t value) {
    std::string text = std::to_string(ShownInteger(index, value));
    text += " / ";
    text += ShownFraction(index, value);
    return text;
}
