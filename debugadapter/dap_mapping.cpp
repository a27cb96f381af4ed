#include "dap_mapping.h"
#include "trimmed_text.h"

#include "answer_clauses.h"
#include "verb_words.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <sstream>

namespace {

struct ConditionWord {
    const char* word;
    const char* option;
};
// Longest first, so that "==" is never read as a lone "=".
constexpr ConditionWord kConditionWords[] = {
    {"crosses", "--crosses"}, {"==", "--equals"}, {">", "--above"}, {"<", "--below"}};

std::string SecondsWord(double seconds) {
    std::ostringstream text;
    text << seconds;
    return text.str();
}

} // namespace

std::optional<WatchCondition> ParseDataCondition(const std::string& text, std::string* why) {
    const std::string condition = Trimmed(text);
    if (condition.empty())
        return WatchCondition{};
    for (const ConditionWord& c : kConditionWords) {
        const std::string word = c.word;
        if (!condition.starts_with(word))
            continue;
        const std::string value = Trimmed(condition.substr(word.size()));
        if (value.empty() || value.find_first_of(" \t") != std::string::npos)
            break;
        return WatchCondition{c.option, value};
    }
    *why = "a data breakpoint's condition is '> V', '< V', '== V' or 'crosses V', not '" +
           condition + "'";
    return std::nullopt;
}

std::string DataConditionText(const WatchCondition& condition) {
    for (const ConditionWord& c : kConditionWords)
        if (condition.option == c.option)
            return std::string(c.word) + " " + condition.value;
    return "";
}

std::string WatchRequest(const std::string& reg, const WatchCondition& condition, double seconds) {
    std::vector<std::string> words = {"watch", reg};
    if (!condition.option.empty())
        words.insert(words.end(), {condition.option, condition.value});
    words.insert(words.end(), {"--for", SecondsWord(seconds)});
    return RequestLine(words);
}

std::string BreakRequest(const std::vector<uint32_t>& addresses, bool saturation, double seconds) {
    std::vector<std::string> words = {"break"};
    for (uint32_t address : addresses)
        words.push_back(InstructionReference(address));
    if (saturation)
        words.push_back("--saturation");
    words.insert(words.end(), {"--for", SecondsWord(seconds)});
    return RequestLine(words);
}

std::optional<uint32_t> ParseInstructionReference(const std::string& reference, int64_t offset,
                                                  std::string* why) {
    uint32_t address = 0;
    if (!ParseNumber(reference, &address)) {
        *why = "'" + reference + "' is no instruction reference (0x000 to 0x1FF)";
        return std::nullopt;
    }
    const int64_t at = int64_t(address) + offset;
    if (at < 0 || at >= 512) {
        *why = "instruction " + std::to_string(at) + " is outside the 512 the chip has";
        return std::nullopt;
    }
    return uint32_t(at);
}

std::string InstructionReference(uint32_t address) {
    return HexText(address, 3);
}

std::optional<std::vector<RegisterValue>> ParseGetAnswer(const std::string& text) {
    std::vector<RegisterValue> values;
    for (const std::string& clause : AnswerClauses(text)) {
        const std::size_t equals = clause.find(" = ");
        if (equals == std::string::npos)
            return std::nullopt;
        RegisterValue v;
        const std::string label = clause.substr(0, equals);
        // "fb (0x106)" or "0x106".
        const std::size_t open = label.rfind(" (");
        const std::string number =
            open == std::string::npos ? label : label.substr(open + 2, label.size() - open - 3);
        if (open != std::string::npos && !label.ends_with(")"))
            return std::nullopt;
        if (!ParseNumber(number, &v.address))
            return std::nullopt;
        v.name = open == std::string::npos ? label : label.substr(0, open);
        std::istringstream words(clause.substr(equals + 3));
        std::string rest;
        if (!(words >> v.hex >> v.integer >> v.fraction) || !ParseNumber(v.hex, &v.word))
            return std::nullopt;
        // A value with a unit goes on "0.5: 0.500 in 0.000 to 0.900"; the
        // variables show the fraction.
        const bool unit = v.fraction.ends_with(':');
        if (unit)
            v.fraction.pop_back();
        if (!unit && (words >> rest))
            return std::nullopt;
        values.push_back(v);
    }
    if (values.empty())
        return std::nullopt;
    return values;
}

std::string ValueShown(const RegisterValue& value, bool hex) {
    if (!hex)
        return value.fraction;
    return value.fraction + " (" + value.hex + " " + std::to_string(value.integer) + ")";
}

std::string SetValueWord(const std::string& text) {
    const std::string trimmed = Trimmed(text);
    const std::string value = trimmed.substr(0, trimmed.find_first_of(" \t"));
    if (value.find_first_of("xX") != std::string::npos)
        return value; // a word in hex
    // The variables show fractions, so a decimal typed there is one too,
    // "-1" and "1.5e-05" as well; set reads only a number with a point so.
    double fraction = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), fraction);
    if (ec != std::errc() || end != value.data() + value.size())
        return value; // set says what is wrong with it
    char fixed[64];
    std::snprintf(fixed, sizeof fixed, "%.10f", fraction);
    return fixed;
}

std::optional<DspPosition> ParsePosition(const std::string& text) {
    const std::string mark = "at sample ";
    const std::size_t at = text.rfind(mark);
    if (at == std::string::npos)
        return std::nullopt;
    std::istringstream words(text.substr(at + mark.size()));
    DspPosition p;
    std::string sample, before, instruction, address;
    if (!(words >> sample) || !ParseNumber(sample, &p.sample))
        return std::nullopt;
    if (words >> before) {
        if (before != "before" || !(words >> instruction >> address) ||
            instruction != "instruction")
            return std::nullopt;
        // The address may end the clause.
        if (address.ends_with(";"))
            address.pop_back();
        if (!ParseNumber(address, &p.pc))
            return std::nullopt;
    }
    return p;
}

StopSaid ParseStopAnswer(int status, const std::string& text) {
    // The first clause says why; the rest is where the chip stands.
    const std::string why = text.substr(0, text.find("; stopped at"));
    // "no break was reached in N samples" and its kin: the bound passed.
    if (status == 1 && text.starts_with("no ") &&
        text.find(" samples; stopped at") != std::string::npos)
        return {StopReason::kNone, why};
    // Another client's stop, or a refusal: the run is over either way.
    if (status != 0)
        return {StopReason::kPause, why};
    if (text.starts_with("break at instruction "))
        return {StopReason::kBreakpoint, why};
    if (text.starts_with("saturation by instruction "))
        return {StopReason::kException, why};
    if (text.find(" by instruction ") != std::string::npos)
        return {StopReason::kDataBreakpoint, why};
    return {StopReason::kPause, why};
}

const char* StopReasonWord(StopReason reason) {
    switch (reason) {
    case StopReason::kBreakpoint:
        return "breakpoint";
    case StopReason::kDataBreakpoint:
        return "data breakpoint";
    case StopReason::kException:
        return "exception";
    case StopReason::kPause:
        return "pause";
    case StopReason::kNone:
        break;
    }
    return "step";
}

std::optional<bool> PoolOfReference(const std::string& reference) {
    if (reference == kInternalPool || reference == kExternalPool)
        return reference == kExternalPool;
    return std::nullopt;
}

std::optional<std::string> PoolOfRegister(uint32_t address) {
    // TRAM register n is data 0x200 + n and address 0x300 + n; n < 128 internal.
    if (address < 0x200 || address >= 0x400 || (address & 0xFF) >= 160)
        return std::nullopt;
    return (address & 0xFF) < 128 ? kInternalPool : kExternalPool;
}

PoolSpan PoolBytes(int64_t offset, int64_t count, uint32_t size) {
    const int64_t bytes = 2 * int64_t(size);
    const int64_t from = std::clamp<int64_t>(offset, 0, bytes);
    const int64_t to = std::clamp<int64_t>(offset + std::max<int64_t>(count, 0), from, bytes);
    PoolSpan span;
    span.readable = uint64_t(to - from);
    if (span.readable == 0)
        return span;
    span.firstSample = uint32_t(from / 2);
    span.skip = uint32_t(from % 2);
    span.samples = uint32_t((to + 1) / 2 - from / 2);
    return span;
}

RegisterValue SampledValue(const std::string& name, uint32_t address, int32_t value) {
    std::ostringstream fraction;
    fraction << double(value) / 2147483648.0;
    return {name, address, uint32_t(value), HexText(uint32_t(value), 8), value, fraction.str()};
}

std::string LastSampleRequest(uint64_t at, uint32_t reg) {
    return "samples " + std::to_string(at > 0 ? at - 1 : 0) + " " + HexText(reg, 3);
}
