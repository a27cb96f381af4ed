#include "trace_verb.h"

#include "history_recorder.h"
#include "trace_file.h"
#include "trace_stats.h"
#include "verb_words.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

constexpr const char* kUsage =
    "trace takes registers, then --last SECONDS or --samples N, and --to FILE";

} // namespace

std::string HistoryLeavesOut(uint32_t reg, const RegisterNames& names) {
    const std::string label = names.Label(reg, RegisterSpace::Operands);
    if (reg < 0x20)
        return label + " is an input, which the DSP does not change; the history leaves it out";
    if (reg >= 0x40 && reg < 0x56)
        return label + " is a DSP constant; the history leaves it out";
    if ((reg >= 0x20 && reg < 0x40) || (reg >= 0x100 && reg < 0x200))
        return "no instruction of the loaded program writes " + label +
               "; the history leaves it out";
    if (reg >= 0x200 && reg < 0x300)
        return "no instruction writes " + label +
               " and no TRAM read loads it; the history leaves it out";
    return "the history keeps GPRs, TRAM data, outputs and the condition codes, not " + label;
}

namespace {

bool ParseSeconds(const std::string& text, double* seconds) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *seconds);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(*seconds);
}

std::string Figure(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

} // namespace

ControlAnswer TraceVerb(const HistoryRecorder* history, const std::vector<std::string>& words,
                        const RegisterNames& names) {
    std::vector<uint32_t> registers;
    int64_t wanted = -1; // all that is held
    std::string to;
    bool spanGiven = false;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "--last" || word == "--samples" || word == "--to") {
            if (i + 1 == words.size())
                return {2, word + " takes a value"};
            const std::string& value = words[++i];
            if (word == "--to") {
                to = value;
                continue;
            }
            if (spanGiven)
                return {2, "trace takes one of --last and --samples"};
            spanGiven = true;
            if (word == "--samples") {
                if (!ParseNumber(value, &wanted) || wanted < 1 || wanted > kMaxAdvanceSamples)
                    return {2, "--samples takes a count from 1 to " +
                                   std::to_string(kMaxAdvanceSamples)};
                continue;
            }
            double seconds = 0;
            if (!ParseSeconds(value, &seconds) || seconds <= 0 || seconds > kMaxRunSeconds)
                return {2, "--last takes seconds above 0, up to " +
                               std::to_string(int(kMaxRunSeconds))};
            wanted = std::max<int64_t>(1, std::llround(seconds * kVerbSampleRate));
            continue;
        }
        if (word.starts_with("--"))
            return {2, "trace has no option " + word};
        std::string why;
        const std::optional<uint32_t> reg = names.Find(word, RegisterSpace::Operands, &why);
        if (!reg)
            return {1, why};
        if (*reg >= 0x400)
            return {2, "trace takes registers from 0 to 0x3FF, as the DSP sees them"};
        registers.push_back(*reg);
    }
    if (registers.empty())
        return {2, kUsage};
    if (!history)
        return {1, "the history is off (emuapsd --history=0)"};
    if (history->held() == 0)
        return {1, "the history holds no samples yet"};
    for (uint32_t reg : registers)
        if (!history->Keeps(reg))
            return {1, HistoryLeavesOut(reg, names)};
    if (!to.empty())
        if (std::string problem = TraceTargetProblem(to); !problem.empty())
            return {1, problem};
    const std::optional<HistoryRecorder::Span> span = history->Take(registers, wanted);
    if (!span)
        return {1, "the chip was reloaded meanwhile; trace again"};
    if (span->samples == 0)
        return {1, "the history holds no samples yet"}; // a reload just now
    std::string text;
    if (wanted > span->samples)
        text = "asked for " + std::to_string(wanted) + " samples, the history holds " +
               std::to_string(span->samples) + ": ";
    const uint64_t last = span->first + uint64_t(span->samples) - 1;
    text += "samples " + std::to_string(span->first) + " to " + std::to_string(last);
    if (!span->saturations.empty())
        text += "; " + std::to_string(span->saturations.size()) +
                " saturated, the first in sample " + std::to_string(span->saturations[0].sample) +
                " at instruction " + std::to_string(span->saturations[0].instruction);
    if (!to.empty()) {
        TraceTable table{span->first, registers, {}, span->columns};
        for (uint32_t reg : registers)
            table.headers.push_back(names.Label(reg, RegisterSpace::Operands));
        if (std::string error = WriteTraceFile(to, table, kVerbSampleRate); !error.empty())
            return {1, error};
        return {0, text + "; wrote " + std::to_string(registers.size()) +
                       (registers.size() == 1 ? " register to " : " registers to ") + to};
    }
    for (std::size_t c = 0; c < registers.size(); ++c) {
        const TraceStats stats = StatsOf(span->columns[c]);
        text += "; " + names.Label(registers[c], RegisterSpace::Operands) + ": min " +
                Figure(stats.min) + " max " + Figure(stats.max) + " rms " + Figure(stats.rms) +
                " peak at sample " + std::to_string(span->first + uint64_t(stats.peakAt));
    }
    return {0, text};
}
