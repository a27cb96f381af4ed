// Register values in the loaded program's own units. What a register is
// comes from the program: a TRAM address register holds flags and an
// address in samples; a control whose range as10k1 wrote with '&' (both
// ends whole samples in the DSP's address field, bits 11-30) is a delay
// time; any other control is a fraction in its declared range. emuapsd's
// answers, emuapsctl and velmora-scope all show and read values through
// these functions.
#pragma once

#include "control_text.h"
#include "controls_answer.h"

#include <cstdint>
#include <string>
#include <vector>

// The rate that '&' and the ms the answers show are counted at.
constexpr int kUnitSampleRate = 48000;
// The DSP sees a TRAM address in bits 11-30, which is where '&' puts its samples.
constexpr int kDelayShift = 11;
constexpr uint32_t kMaxTramAddress = 0xFFFFF;
constexpr uint32_t kTramReadFlag = 1u << 20, kTramWriteFlag = 1u << 21, kTramAlignFlag = 1u << 22,
                   kTramClearFlag = 1u << 23;

enum class UnitKind { Plain, Fraction, DelayTime, TramAddress };

struct ValueUnit {
    UnitKind kind = UnitKind::Plain;
    ControlRange range{}; // a control's, as the patch declares it
    std::string name;     // a control's, for refusals
    bool operator==(const ValueUnit&) const = default;
};

ValueUnit ControlUnit(const ControlInfo& control);
// A chip register's unit: one of controls, a TRAM address register
// (0x300-0x3FF), or plain.
ValueUnit RegisterUnit(uint32_t reg, const std::vector<ControlInfo>& controls);

// A TRAM address register's word as the host sees it: the address in bits
// 0-19, then the read, write, align and clear flags in bits 20 to 23.
struct TramAddressWord {
    bool read = false, write = false, align = false, clear = false;
    uint32_t samples = 0;
};
TramAddressWord DecodeTramAddress(uint32_t word);

// "14400 samples (300 ms)"
std::string SamplesText(uint32_t samples);
// The value in its unit: "14400 samples (300 ms)", "read, 190 samples
// (3.96 ms)", "0.500" (at the decimals the range needs); "" for plain.
std::string UnitText(const ValueUnit& unit, uint32_t value);
// A control's range in its unit: "192 to 576 samples (4 to 12 ms)",
// "0.000 to 0.900"; "" for the others.
std::string UnitRangeText(const ValueUnit& unit);
// Both, as the answers show a value: "384 samples (8 ms) in 192 to 576
// samples (4 to 12 ms)"; "" for plain.
std::string UnitValueText(const ValueUnit& unit, uint32_t value);

// The value nearest to value that the unit can hold: a delay time in whole samples.
int32_t SnapToUnit(const ValueUnit& unit, int32_t value);

// set's forms in units: "300ms" or "14400smp", for a delay time (inside its
// range) or a TRAM address register (whose flags, from current, stay).
// Returns false for text that is no such form (a number, a fraction), which
// is read as before; true with *wrong "" and *value set, or with *wrong
// saying why the form is refused. label names the register.
bool ParseUnitValue(const std::string& text, const ValueUnit& unit, const std::string& label,
                    uint32_t current, uint32_t* value, std::string* wrong);
