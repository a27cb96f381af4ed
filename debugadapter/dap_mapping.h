// What the adapter's requests mean as control verbs, and what the verbs'
// answers mean to the editor: conditions as watch's value options, register
// values as text, instruction references as addresses, and the stop a
// break, watch or step answer tells of. Pure: words in, words out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// watch's value option ("--above", "--below", "--equals", "--crosses") and
// its value; an empty option watches for any change.
struct WatchCondition {
    std::string option;
    std::string value;
    bool operator==(const WatchCondition&) const = default;
};

// "> 0.9", "< -0.5", "== 0x100", "crosses 0", or "" (any change); nullopt
// and why for any other text.
std::optional<WatchCondition> ParseDataCondition(const std::string& text, std::string* why);
// The condition as ParseDataCondition reads it back.
std::string DataConditionText(const WatchCondition& condition);

// The verbs that run the chip until something happens, for seconds of its time.
std::string WatchRequest(const std::string& reg, const WatchCondition& condition, double seconds);
std::string BreakRequest(const std::vector<uint32_t>& addresses, bool saturation, double seconds);

// An instruction reference ("0x005", or decimal) plus offset, when the sum
// is one of the 512 instructions; nullopt and why otherwise.
std::optional<uint32_t> ParseInstructionReference(const std::string& reference, int64_t offset,
                                                  std::string* why);
std::string InstructionReference(uint32_t address);

// The memory references of the two TRAM pools, which readMemory reads;
// the pool a TRAM register's tap lies in, and nullopt for other registers.
constexpr const char* kInternalPool = "tram-internal";
constexpr const char* kExternalPool = "tram-external";
std::optional<bool> PoolOfReference(const std::string& reference); // true: external
std::optional<std::string> PoolOfRegister(uint32_t address);
// The bytes [offset, offset + count) of a pool of size samples, 2 bytes
// each, as the samples to read; the bytes past the pool are unreadable.
struct PoolSpan {
    uint32_t firstSample = 0, samples = 0;
    uint32_t skip = 0;     // bytes of the first sample before offset
    uint64_t readable = 0; // bytes that lie in the pool
    bool operator==(const PoolSpan&) const = default;
};
PoolSpan PoolBytes(int64_t offset, int64_t count, uint32_t size);

// One register as get answers it: "fb (0x106) = 0x40000000 1073741824 0.5".
struct RegisterValue {
    std::string name; // "fb", or "0x106" when nothing names it
    uint32_t address = 0;
    uint32_t word = 0;
    std::string hex; // as the answer gives it: 5 digits for a TRAM sample
    int64_t integer = 0;
    std::string fraction;
    bool operator==(const RegisterValue&) const = default;
};
// nullopt unless text is get's answer, every clause a register.
std::optional<std::vector<RegisterValue>> ParseGetAnswer(const std::string& text);
// A value the DSP sees (an output's, from samples) as get would answer it.
RegisterValue SampledValue(const std::string& name, uint32_t address, int32_t value);
// "samples FROM REG" of the sample before at: the newest value the history keeps.
std::string LastSampleRequest(uint64_t at, uint32_t reg);
// The value as the variables show it: the fraction, and with hex its word
// and integer after it: "0.5 (0x40000000 1073741824)".
std::string ValueShown(const RegisterValue& value, bool hex);
// What the editor sends back as a new value, as set takes it: a shown
// value's first word ("0.5 (0x40000000 ...)" sets 0.5), a decimal read as
// a fraction ("-1" is -1.0, full scale) and 0x... as the word itself.
std::string SetValueWord(const std::string& text);

// Where the chip stands, from an answer's "stopped at sample N[ before
// instruction 0xAAA]" (or "at sample N ..."); pc 0 at a sample's start.
struct AnsweredPosition {
    uint64_t sample = 0;
    uint32_t pc = 0;
    bool operator==(const AnsweredPosition&) const = default;
};
std::optional<AnsweredPosition> ParsePosition(const std::string& text);

// Why a break or watch answer stopped the chip, as DAP names it.
enum class StopReason { kNone, kBreakpoint, kDataBreakpoint, kException, kPause };
struct StopSaid {
    StopReason reason = StopReason::kNone;
    std::string text; // the answer's own words for the editor
    bool operator==(const StopSaid&) const = default;
};
// kNone when the bound passed with nothing found (run again); kException
// for a saturation; kPause when another client's stop ended it, and for
// any answer that tells of no stop (a refusal).
StopSaid ParseStopAnswer(int status, const std::string& text);
// The DAP "reason" word of a stop.
const char* StopReasonWord(StopReason reason);
