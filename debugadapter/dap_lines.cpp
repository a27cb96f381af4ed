#include "dap_lines.h"
#include "trimmed_text.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace {

bool SameLine(const SourcePlace* a, const SourcePlace* b) {
    return a && b && a->file == b->file && a->line == b->line;
}

std::optional<double> Decimal(const std::string& text) {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size())
        return std::nullopt;
    return v;
}

} // namespace

LineBreak ResolveLineBreak(const SourceMap& map, uint32_t file, uint32_t line) {
    if (const auto address = map.FirstAddress(file, line))
        return {address, ""};
    std::string message = "no instruction comes from " + map.Where(file, line);
    const std::vector<uint32_t> nearest = map.NearestLines(file, line);
    for (std::size_t i = 0; i < nearest.size(); ++i)
        message +=
            (i == 0 ? "; the nearest lines with one are " : " and ") + std::to_string(nearest[i]);
    if (nearest.size() == 1)
        message.replace(message.find("lines with one are"), 18, "line with one is");
    return {std::nullopt, message};
}

uint32_t InstructionsToNextLine(const SourceMap& map, uint32_t pc, uint32_t instructions) {
    const SourcePlace* here = map.At(pc);
    for (uint32_t a = pc + 1; a < instructions; ++a)
        if (const SourcePlace* p = map.At(a); p && !SameLine(p, here))
            return a - pc;
    return instructions > pc ? instructions - pc : 1;
}

uint32_t InstructionsToLineBefore(const SourceMap& map, uint32_t pc) {
    if (pc == 0 || !map.At(pc - 1))
        return 1;
    uint32_t start = pc - 1;
    while (start > 0 && SameLine(map.At(start - 1), map.At(pc - 1)))
        --start;
    return pc - start;
}

std::optional<ValueCondition> ParseValueCondition(const std::string& text, std::string* why) {
    const std::string trimmed = Trimmed(text);
    const std::size_t split = trimmed.find_first_of(" \t<>=");
    if (split == 0 || split == std::string::npos) {
        *why = "a breakpoint's condition is a register and a test: 'fb > 0.5', not '" + text + "'";
        return std::nullopt;
    }
    const auto condition = ParseDataCondition(trimmed.substr(split), why);
    if (!condition)
        return std::nullopt;
    if (condition->option != "--above" && condition->option != "--below" &&
        condition->option != "--equals") {
        *why = "a breakpoint's condition tests a value with >, < or ==; crosses is a data "
               "breakpoint's";
        return std::nullopt;
    }
    return ValueCondition{trimmed.substr(0, split), *condition};
}

bool ConditionHolds(const WatchCondition& condition, const RegisterValue& value) {
    double have = 0, want = 0;
    if (condition.value.find_first_of("xX") != std::string::npos) {
        have = double(int32_t(value.word));
        want = double(int32_t(std::strtoul(condition.value.c_str(), nullptr, 16)));
    } else {
        const auto h = Decimal(value.fraction), w = Decimal(condition.value);
        if (!h || !w)
            return false;
        have = *h;
        want = *w;
    }
    if (condition.option == "--above")
        return have > want;
    if (condition.option == "--below")
        return have < want;
    return condition.option == "--equals" && have == want;
}

std::optional<HitCondition> ParseHitCondition(const std::string& text, std::string* why) {
    std::string rest = Trimmed(text);
    HitCondition hit;
    for (const auto& [prefix, kind] : {std::pair{">=", HitCondition::kFrom},
                                       {"==", HitCondition::kExactly},
                                       {"%", HitCondition::kEvery}})
        if (rest.starts_with(prefix)) {
            hit.kind = kind;
            rest = Trimmed(rest.substr(std::string(prefix).size()));
            break;
        }
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), hit.count);
    if (rest.empty() || error != std::errc() || end != rest.data() + rest.size() || hit.count < 1) {
        *why = "a hit count is N, == N, >= N or % N with N from 1, not '" + text + "'";
        return std::nullopt;
    }
    return hit;
}

bool HitStops(const HitCondition& condition, uint64_t hits) {
    switch (condition.kind) {
    case HitCondition::kExactly:
        return hits == condition.count;
    case HitCondition::kFrom:
        return hits >= condition.count;
    case HitCondition::kEvery:
        return hits % condition.count == 0;
    }
    return false;
}

std::optional<DspPosition> LastBreakHit(const std::vector<uint32_t>& breaks, DspPosition at) {
    std::optional<uint32_t> earlier, last;
    for (uint32_t b : breaks) {
        if (b < at.pc && (!earlier || b > *earlier))
            earlier = b;
        if (!last || b > *last)
            last = b;
    }
    if (earlier)
        return DspPosition{at.sample, *earlier};
    if (last && at.sample > 0)
        return DspPosition{at.sample - 1, *last};
    return std::nullopt;
}
