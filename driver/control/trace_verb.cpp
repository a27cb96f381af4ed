#include "trace_verb.h"

#include "hex_number.h"
#include "history_recorder.h"
#include "trace_file.h"
#include "trace_stats.h"
#include "value_units.h"
#include "verb_words.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

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

std::string HistoryReadProblem(const HistoryRecorder::Read& read, const RegisterNames& names,
                               const std::string& verb) {
    using Outcome = HistoryRecorder::Read::Outcome;
    switch (read.outcome) {
    case Outcome::kOff:
        return read.off;
    case Outcome::kNotKept:
        return HistoryLeavesOut(read.notKept, names);
    case Outcome::kReloaded:
        return "the chip was reloaded meanwhile; " + verb + " again";
    case Outcome::kOverrun:
        return "the chip overwrote the oldest samples asked for before they were read; ask for "
               "fewer";
    case Outcome::kRead:
    case Outcome::kStopped:
        break;
    }
    return "";
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

struct TraceAsk {
    std::vector<uint32_t> registers;
    int64_t wanted = -1; // all that is held
    std::string to;
};

// The request's registers and options; an answer when it is mistaken.
std::optional<ControlAnswer> ParseTrace(const std::vector<std::string>& words,
                                        const RegisterNames& names, TraceAsk* ask) {
    bool spanGiven = false;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "--last" || word == "--samples" || word == "--to") {
            if (i + 1 == words.size())
                return ControlAnswer{2, word + " takes a value"};
            const std::string& value = words[++i];
            if (word == "--to") {
                ask->to = value;
                continue;
            }
            if (spanGiven)
                return ControlAnswer{2, "trace takes one of --last and --samples"};
            spanGiven = true;
            if (word == "--samples") {
                if (!ParseNumber(value, &ask->wanted) || ask->wanted < 1 ||
                    ask->wanted > kMaxAdvanceSamples)
                    return ControlAnswer{2, "--samples takes a count from 1 to " +
                                                std::to_string(kMaxAdvanceSamples)};
                continue;
            }
            double seconds = 0;
            if (!ParseSeconds(value, &seconds) || seconds <= 0 || seconds > kMaxRunSeconds)
                return ControlAnswer{2, "--last takes seconds above 0, up to " +
                                            std::to_string(int(kMaxRunSeconds))};
            ask->wanted = std::max<int64_t>(1, std::llround(seconds * kVerbSampleRate));
            continue;
        }
        if (word.starts_with("--"))
            return ControlAnswer{2, "trace has no option " + word};
        std::string why;
        const std::optional<uint32_t> reg = names.Find(word, RegisterSpace::Operands, &why);
        if (!reg)
            return ControlAnswer{1, why};
        if (*reg >= 0x400)
            return ControlAnswer{2, "trace takes registers from 0 to 0x3FF, as the DSP sees them"};
        if (std::count(ask->registers.begin(), ask->registers.end(), *reg))
            return ControlAnswer{2, "trace takes each register once, not " +
                                        names.Label(*reg, RegisterSpace::Operands) + " twice"};
        ask->registers.push_back(*reg);
    }
    if (ask->registers.empty())
        return ControlAnswer{2, kUsage};
    if (ask->to.empty() && ask->registers.size() > kMaxTraceFigures)
        return ControlAnswer{2, "trace without --to takes at most " +
                                    std::to_string(kMaxTraceFigures) +
                                    " registers, a line each; --to FILE takes them all"};
    return std::nullopt;
}

} // namespace

ControlAnswer TraceVerb(const HistoryRecorder* history, const std::vector<std::string>& words,
                        const RegisterNames& names, int64_t maxValues,
                        const std::vector<ControlInfo>& controls) {
    TraceAsk ask;
    if (auto mistaken = ParseTrace(words, names, &ask))
        return *mistaken;
    const std::vector<uint32_t>& registers = ask.registers;
    if (!history)
        return {1, "the history is off (emuapsd --history=0)"};
    TraceTarget target;
    if (!ask.to.empty())
        if (std::string problem = ResolveTraceTarget(ask.to, &target); !problem.empty())
            return {1, problem};

    // A piece at a time, into the file or the figures: never held whole.
    const int64_t most = std::max<int64_t>(maxValues / int64_t(registers.size()), 1);
    TraceWriter writer;
    bool opened = false;
    std::vector<TraceStatsSum> sums(ask.to.empty() ? registers.size() : 0);
    std::string error;
    int64_t saturated = 0;
    HistoryRecorder::Saturation firstSaturation{};
    const HistoryRecorder::Read read = history->ReadPieces(
        registers, 0, std::min(ask.wanted < 0 ? most : ask.wanted, most),
        [&](const HistoryRecorder::Piece& piece) {
            for (int64_t row = 0; row < piece.rows; ++row) {
                const int32_t* values = piece.values + std::size_t(row) * piece.stride;
                if (const int32_t at = values[registers.size()]; at >= 0 && saturated++ == 0)
                    firstSaturation = {piece.first + uint64_t(row), uint32_t(at)};
                for (std::size_t c = 0; c < sums.size(); ++c)
                    sums[c].Add(values[c]);
            }
            if (ask.to.empty())
                return true;
            if (!opened) {
                std::vector<std::string> headers;
                for (uint32_t reg : registers)
                    headers.push_back(names.Label(reg, RegisterSpace::Operands));
                error = writer.Open(target, registers, headers, kVerbSampleRate);
                opened = error.empty();
            }
            if (error.empty())
                error = writer.Write(piece.first, piece.values, piece.rows, piece.stride);
            return error.empty();
        });
    if (!error.empty())
        return {1, error};
    if (std::string problem = HistoryReadProblem(read, names, "trace"); !problem.empty())
        return {1, problem};
    const HistoryRecorder::Extent& got = read.extent;
    if (got.samples == 0)
        return {1, "the history holds no samples yet"}; // a reload just now
    if (opened)
        if (error = writer.Finish(); !error.empty())
            return {1, error};

    std::string text;
    const int64_t asked = ask.wanted < 0 ? got.held : ask.wanted;
    if (got.samples < std::min(asked, got.held))
        text = std::to_string(registers.size()) + " registers take at most " +
               std::to_string(most) + " samples, " + std::to_string(maxValues) +
               " values a trace: ";
    else if (asked > got.samples)
        text = "asked for " + std::to_string(asked) + " samples, the history holds " +
               std::to_string(got.samples) + ": ";
    const uint64_t last = got.first + uint64_t(got.samples) - 1;
    text += "samples " + std::to_string(got.first) + " to " + std::to_string(last);
    if (saturated > 0)
        text += "; " + std::to_string(saturated) + " saturated, the first in sample " +
                std::to_string(firstSaturation.sample) + " at instruction " +
                HexNumber(firstSaturation.instruction, 3);
    if (opened)
        return {0, text + "; wrote " + std::to_string(registers.size()) +
                       (registers.size() == 1 ? " register to " : " registers to ") + ask.to};
    for (std::size_t c = 0; c < registers.size(); ++c) {
        const TraceStats stats = sums[c].stats();
        text += "; " + names.Label(registers[c], RegisterSpace::Operands) + ": min " +
                Figure(stats.min) + " max " + Figure(stats.max) + " rms " + Figure(stats.rms) +
                " peak at sample " + std::to_string(got.first + uint64_t(stats.peakAt));
        if (const ValueUnit unit = RegisterUnit(registers[c], controls);
            unit.kind == UnitKind::Fraction || unit.kind == UnitKind::DelayTime)
            text += " (" + UnitText(unit, sums[c].lowest()) + " to " +
                    UnitText(unit, sums[c].highest()) + ")";
    }
    return {0, text};
}
