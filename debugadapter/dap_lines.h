// Source lines as the editor sees them against the chip's instructions,
// through the program's source map: where a line breakpoint stands, which
// instructions a step to the next line runs, and which it goes back over;
// and the conditions and hit counts a line breakpoint stops by. Pure.
#pragma once

#include "dap_mapping.h"
#include "source_map.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A breakpoint on line of file: its first instruction, or none and why,
// naming the nearest lines that have one.
struct LineBreak {
    std::optional<uint32_t> address;
    std::string message;
    bool operator==(const LineBreak&) const = default;
};
LineBreak ResolveLineBreak(const SourceMap& map, uint32_t file, uint32_t line);

// The instructions step --count runs from pc to the next instruction of
// another source line, or to the sample's end when none follows.
uint32_t InstructionsToNextLine(const SourceMap& map, uint32_t pc, uint32_t instructions);
// The instructions step --back goes over from pc to the first instruction
// of the line before it (the run of that line's instructions ending at
// pc - 1); 1 at a sample's start or where no line is known.
uint32_t InstructionsToLineBefore(const SourceMap& map, uint32_t pc);

// "fb > 0.5": a register and a condition ParseDataCondition reads; a
// condition that only a run can see (crosses, any change) is refused.
struct ValueCondition {
    std::string name;
    WatchCondition condition;
    bool operator==(const ValueCondition&) const = default;
};
std::optional<ValueCondition> ParseValueCondition(const std::string& text, std::string* why);
// Whether value meets condition: a 0x... value against the word, as the
// DSP's signed number, a decimal against the fraction.
bool ConditionHolds(const WatchCondition& condition, const RegisterValue& value);

// hitCondition: "N" or "== N" stops at the N-th hit, ">= N" at each from
// the N-th on, "% N" at every N-th.
struct HitCondition {
    enum Kind { kExactly, kFrom, kEvery } kind = kExactly;
    uint64_t count = 1;
    bool operator==(const HitCondition&) const = default;
};
std::optional<HitCondition> ParseHitCondition(const std::string& text, std::string* why);
bool HitStops(const HitCondition& condition, uint64_t hits);

// Where the chip stood at the last hit of any of breaks before at: a
// breakpoint earlier in this sample, else the last one in the sample before.
std::optional<DspPosition> LastBreakHit(const std::vector<uint32_t>& breaks, DspPosition at);
