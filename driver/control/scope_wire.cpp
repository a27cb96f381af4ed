#include "scope_wire.h"

#include "verb_words.h"

#include <cstdio>
#include <cstring>

namespace {

std::string Hex(uint32_t value, int digits = 0) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

// Splits at "; ".
std::vector<std::string> Clauses(const std::string& text) {
    std::vector<std::string> out;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = text.find("; ", from);
        out.push_back(text.substr(from, at - from));
        if (at == std::string::npos)
            return out;
        from = at + 2;
    }
}

template <class T> bool After(const std::string& clause, const char* prefix, T* value) {
    const std::size_t n = std::strlen(prefix);
    return clause.compare(0, n, prefix) == 0 && ParseNumber(clause.substr(n), value);
}

} // namespace

std::string SamplesHeaderText(const SamplesHeader& h) {
    return "samples " + std::to_string(h.first) + " " + std::to_string(h.count) + " of " +
           std::to_string(h.registers) + "; load " + std::to_string(h.load) + "; at " +
           std::to_string(h.at) + "; " + h.state + "; " +
           (h.saturatedAt < 0 ? std::string("no saturation")
                              : "saturated at " + Hex(uint32_t(h.saturatedAt), 3)) +
           "; bytes " + std::to_string(h.bytes);
}

std::optional<SamplesHeader> ParseSamplesHeader(const std::string& text) {
    const std::vector<std::string> c = Clauses(text);
    if (c.size() != 6)
        return std::nullopt;
    SamplesHeader h;
    const std::vector<std::string> head = RequestWords(c[0]);
    if (head.size() != 5 || head[0] != "samples" || head[3] != "of" ||
        !ParseNumber(head[1], &h.first) || !ParseNumber(head[2], &h.count) ||
        !ParseNumber(head[4], &h.registers) || h.count < 0 || h.count > kMaxSamplesAnswer ||
        h.registers < 0 || h.registers > kMaxSamplesRegisters)
        return std::nullopt;
    if (!After(c[1], "load ", &h.load) || !After(c[2], "at ", &h.at))
        return std::nullopt;
    h.state = c[3];
    if (h.state != "running" && h.state != "stopped" && h.state != "standing")
        return std::nullopt;
    uint32_t address = 0;
    if (c[4] == "no saturation")
        h.saturatedAt = -1;
    else if (After(c[4], "saturated at ", &address) && address < 0x200)
        h.saturatedAt = int(address);
    else
        return std::nullopt;
    if (!After(c[5], "bytes ", &h.bytes) ||
        h.bytes != uint64_t(h.count) * uint64_t(h.registers) * sizeof(int32_t))
        return std::nullopt;
    return h;
}

uint64_t AnswerPayloadBytes(const std::string& text) {
    const std::size_t at = text.rfind("; bytes ");
    uint64_t bytes = 0;
    if (at == std::string::npos || !ParseNumber(text.substr(at + 8), &bytes))
        return 0;
    return bytes;
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

std::string ControlsText(const std::vector<ControlInfo>& controls) {
    std::string text = std::to_string(controls.size()) + " controls";
    for (const ControlInfo& c : controls)
        text += "; " + c.name + " " + Hex(c.address, 3) + " " + Hex(c.value) + " " + Hex(c.min) +
                " " + Hex(c.max);
    return text;
}

std::optional<std::vector<ControlInfo>> ParseControls(const std::string& text) {
    const std::vector<std::string> c = Clauses(text);
    const std::vector<std::string> head = RequestWords(c[0]);
    std::size_t count = 0;
    if (head.size() != 2 || head[1] != "controls" || !ParseNumber(head[0], &count) ||
        count != c.size() - 1)
        return std::nullopt;
    std::vector<ControlInfo> out;
    for (std::size_t i = 1; i < c.size(); ++i) {
        const std::vector<std::string> w = RequestWords(c[i]);
        ControlInfo info;
        if (w.size() != 5 || !ParseNumber(w[1], &info.address) || !ParseNumber(w[2], &info.value) ||
            !ParseNumber(w[3], &info.min) || !ParseNumber(w[4], &info.max))
            return std::nullopt;
        info.name = w[0];
        out.push_back(std::move(info));
    }
    return out;
}
