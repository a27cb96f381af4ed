#include "tram_answer.h"

#include "answer_clauses.h"
#include "verb_words.h"

#include <sstream>

std::string TramHeaderText(const TramHeader& h) {
    return "tram " + std::string(h.external ? "external " : "internal ") + std::to_string(h.first) +
           " " + std::to_string(h.count) + " of " + std::to_string(h.size) + "; bytes " +
           std::to_string(2 * uint64_t(h.count));
}

std::optional<TramHeader> ParseTramHeader(const std::string& text) {
    const std::vector<std::string> clauses = AnswerClauses(text);
    if (clauses.size() != 2)
        return std::nullopt;
    std::istringstream words(clauses[0]);
    std::string verb, pool, first, count, of, size, rest;
    if (!(words >> verb >> pool >> first >> count >> of >> size) || (words >> rest) ||
        verb != "tram" || of != "of" || (pool != "internal" && pool != "external"))
        return std::nullopt;
    TramHeader h;
    h.external = pool == "external";
    uint64_t bytes = 0;
    if (!ParseNumber(first, &h.first) || !ParseNumber(count, &h.count) ||
        !ParseNumber(size, &h.size) || !ClauseNumber(clauses[1], "bytes ", &bytes))
        return std::nullopt;
    if (h.count > kMaxTramAnswer || uint64_t(h.first) + h.count > h.size ||
        bytes != 2 * uint64_t(h.count))
        return std::nullopt;
    return h;
}

std::string TramPayload(const std::vector<int16_t>& samples) {
    std::string bytes;
    for (int16_t s : samples) {
        bytes += char(uint16_t(s) & 0xFF);
        bytes += char(uint16_t(s) >> 8);
    }
    return bytes;
}

std::vector<int16_t> TramSamples(const TramHeader& header, const std::string& payload) {
    if (payload.size() != 2 * std::size_t(header.count))
        return {};
    std::vector<int16_t> samples;
    for (std::size_t i = 0; i < payload.size(); i += 2)
        samples.push_back(int16_t(uint8_t(payload[i]) | uint16_t(uint8_t(payload[i + 1])) << 8));
    return samples;
}
