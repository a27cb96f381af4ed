#include "samples_answer.h"

#include "answer_clauses.h"
#include "verb_words.h"

std::string SamplesHeaderText(const SamplesHeader& h) {
    return "samples " + std::to_string(h.first) + " " + std::to_string(h.count) + " of " +
           std::to_string(h.registers) + "; load " + std::to_string(h.load) + "; at " +
           std::to_string(h.at) + "; " + h.state + "; " +
           (h.saturatedAt < 0 ? std::string("no saturation")
                              : "saturated at " + HexText(uint32_t(h.saturatedAt), 3)) +
           "; bytes " + std::to_string(h.bytes);
}

std::optional<SamplesHeader> ParseSamplesHeader(const std::string& text) {
    const std::vector<std::string> c = AnswerClauses(text);
    if (c.size() != 6)
        return std::nullopt;
    SamplesHeader h;
    const std::vector<std::string> head = RequestWords(c[0]);
    if (head.size() != 5 || head[0] != "samples" || head[3] != "of" ||
        !ParseNumber(head[1], &h.first) || !ParseNumber(head[2], &h.count) ||
        !ParseNumber(head[4], &h.registers) || h.count < 0 || h.count > kMaxSamplesAnswer ||
        h.registers < 0 || h.registers > kMaxSamplesRegisters)
        return std::nullopt;
    if (!ClauseNumber(c[1], "load ", &h.load) || !ClauseNumber(c[2], "at ", &h.at))
        return std::nullopt;
    h.state = c[3];
    if (h.state != "running" && h.state != "stopped" && h.state != "standing")
        return std::nullopt;
    uint32_t address = 0;
    if (c[4] == "no saturation")
        h.saturatedAt = -1;
    else if (ClauseNumber(c[4], "saturated at ", &address) && address < 0x200)
        h.saturatedAt = int(address);
    else
        return std::nullopt;
    if (!ClauseNumber(c[5], "bytes ", &h.bytes) ||
        h.bytes != uint64_t(h.count) * uint64_t(h.registers) * sizeof(int32_t))
        return std::nullopt;
    return h;
}

std::vector<std::vector<int32_t>> SamplesColumns(const SamplesHeader& h,
                                                 const std::string& payload) {
    if (payload.size() != h.bytes ||
        h.bytes != uint64_t(h.count) * uint64_t(h.registers) * sizeof(int32_t))
        return {};
    std::vector<std::vector<int32_t>> columns(std::size_t(h.registers));
    const auto* bytes = reinterpret_cast<const unsigned char*>(payload.data());
    for (auto& column : columns) {
        column.resize(std::size_t(h.count));
        for (int32_t& v : column) {
            v = int32_t(uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
                        uint32_t(bytes[3]) << 24);
            bytes += 4;
        }
    }
    return columns;
}

std::string SamplesPayload(const std::vector<std::vector<int32_t>>& columns) {
    std::string out;
    std::size_t bytes = 0;
    for (const auto& column : columns)
        bytes += column.size() * sizeof(int32_t);
    out.reserve(bytes);
    for (const auto& column : columns)
        for (int32_t v : column) {
            const uint32_t u = uint32_t(v);
            const char bytes[4] = {char(u), char(u >> 8), char(u >> 16), char(u >> 24)};
            out.append(bytes, 4);
        }
    return out;
}
