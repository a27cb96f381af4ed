#include "status_answer.h"

#include "answer_clauses.h"

#include <charconv>
#include <cmath>
#include <utility>

namespace {

// The codes' bits, the DSP's, in the order answers name them.
constexpr std::pair<uint32_t, const char*> kCodes[] = {{0x10, "saturated"},
                                                       {0x08, "zero"},
                                                       {0x04, "negative"},
                                                       {0x02, "borrow"},
                                                       {0x01, "normalised"}};

std::string Pace(double factor) {
    char text[48];
    std::snprintf(text, sizeof text, "%.2fx real time", factor);
    return text;
}

bool ParsePace(const std::string& clause, double* factor) {
    const std::string tail = "x real time";
    if (clause.size() <= tail.size() ||
        clause.compare(clause.size() - tail.size(), tail.size(), tail) != 0)
        return false;
    const char* first = clause.data();
    const char* last = first + clause.size() - tail.size();
    auto [end, ec] = std::from_chars(first, last, *factor, std::chars_format::fixed);
    return ec == std::errc() && end == last && std::isfinite(*factor) && *factor >= 0;
}

bool ParseCodes(const std::string& clause, uint32_t* codes) {
    if (clause.rfind("codes ", 0) != 0)
        return false;
    const std::string number = clause.substr(6, clause.find(' ', 6) - 6);
    return ParseNumber(number, codes) && *codes <= 0x1F && clause == "codes " + CodesText(*codes);
}

} // namespace

std::string CodesText(uint32_t codes) {
    std::string text = HexText(codes, 2);
    const char* sep = " (";
    for (auto [bit, name] : kCodes) {
        if (codes & bit) {
            text += sep;
            text += name;
            sep = ", ";
        }
    }
    return codes ? text + ")" : text;
}

std::string BehindText(uint64_t behind) {
    return std::to_string(behind) + (behind == 1 ? " sample" : " samples") + " before the newest";
}

std::string PastClause(uint64_t at, uint64_t behind) {
    return "at sample " + std::to_string(at) + ", " + BehindText(behind);
}

std::string ForkClause(uint64_t sample) {
    return "forked at sample " + std::to_string(sample);
}

std::string StatusText(const StatusAnswer& s) {
    std::string text = s.state + "; " + std::to_string(s.samples) + " samples; step address " +
                       HexText(s.stepAddress, 3) + "; codes " + CodesText(s.codes) + "; " +
                       (s.saturatedAt < 0 ? std::string("no saturation")
                                          : "saturated at " + HexText(uint32_t(s.saturatedAt), 3)) +
                       "; loaded " + s.loaded + "; " + Pace(s.factor);
    for (const std::string& more : s.more)
        text += "; " + more;
    if (s.behind)
        text += "; " + PastClause(s.samples, *s.behind);
    if (s.forkedAt)
        text += "; " + ForkClause(*s.forkedAt);
    return text;
}

std::optional<StatusAnswer> ParseStatus(const std::string& text) {
    const std::vector<std::string> c = AnswerClauses(text);
    StatusAnswer s;
    // The state may hold "; " itself (a client's verb): it ends before the count.
    std::size_t i = 0;
    auto count = [&](const std::string& clause) {
        const std::string tail = " samples";
        return clause.size() > tail.size() &&
               clause.compare(clause.size() - tail.size(), tail.size(), tail) == 0 &&
               ParseNumber(clause.substr(0, clause.size() - tail.size()), &s.samples);
    };
    for (i = 1; i < c.size() && !count(c[i]); ++i)
        ;
    if (i + 4 >= c.size())
        return std::nullopt;
    for (std::size_t k = 0; k < i; ++k)
        s.state += (k ? "; " : "") + c[k];
    uint32_t saturated = 0;
    if (!ClauseNumber(c[i + 1], "step address ", &s.stepAddress) || s.stepAddress >= 0x200 ||
        !ParseCodes(c[i + 2], &s.codes))
        return std::nullopt;
    if (c[i + 3] == "no saturation")
        s.saturatedAt = -1;
    else if (ClauseNumber(c[i + 3], "saturated at ", &saturated) && saturated < 0x200)
        s.saturatedAt = int(saturated);
    else
        return std::nullopt;
    // What is loaded may hold "; " too: it ends before the pace.
    std::size_t pace = i + 4;
    if (c[pace].rfind("loaded ", 0) != 0)
        return std::nullopt;
    while (pace < c.size() && !ParsePace(c[pace], &s.factor))
        ++pace;
    if (pace == c.size())
        return std::nullopt;
    s.loaded = c[i + 4].substr(7);
    for (std::size_t k = i + 5; k < pace; ++k)
        s.loaded += "; " + c[k];
    s.more.assign(c.begin() + std::ptrdiff_t(pace) + 1, c.end());
    // The past's clauses close it; one that says another sample is no status.
    uint64_t number = 0;
    if (!s.more.empty() && ClauseNumber(s.more.back(), "forked at sample ", &number)) {
        if (s.more.back() != ForkClause(number))
            return std::nullopt;
        s.forkedAt = number;
        s.more.pop_back();
    }
    if (!s.more.empty() && s.more.back().rfind("at sample ", 0) == 0) {
        const std::string& past = s.more.back();
        const std::size_t comma = past.find(", ");
        const std::string behind = comma == std::string::npos ? "" : past.substr(comma + 2);
        if (!ParseNumber(behind.substr(0, behind.find(' ')), &number) ||
            past != PastClause(s.samples, number))
            return std::nullopt;
        s.behind = number;
        s.more.pop_back();
    }
    return s;
}
