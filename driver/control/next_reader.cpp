#include "next_reader.h"

#include "hex_number.h"
#include "instruction_label.h"
#include "tram_engine.h"

#include <optional>

namespace {

constexpr uint32_t kTramData = 0x200, kTramAddress = 0x300, kEnd = 0x400;

std::string In(uint64_t sample) {
    return "in sample " + std::to_string(sample);
}

// The first instruction from `from` to `to` that reads reg or writes it.
std::optional<std::string> Scan(std::span<const Fx8010Fields> code, uint32_t reg, uint32_t from,
                                uint32_t to, uint64_t sample, const SourceMap& source) {
    for (uint32_t i = from; i < to && i < code.size(); ++i) {
        const Fx8010Fields& f = code[i];
        if (f.a == reg || f.x == reg || f.y == reg)
            return "instruction " + InstructionLabel(i, source) + " reads it next, " + In(sample);
        if (f.r == reg)
            return "instruction " + InstructionLabel(i, source) +
                   " overwrites it before any instruction reads it, " + In(sample);
    }
    return std::nullopt;
}

} // namespace

TramUse TramUseOf(uint32_t reg, uint32_t addressWord) {
    if (reg < kTramData || reg >= kEnd || (reg & 0xFF) >= uint32_t(TramEngine::kPooledRegisters))
        return TramUse::None;
    const bool read = addressWord & TramEngine::kRead, write = addressWord & TramEngine::kWrite;
    if (reg >= kTramAddress)
        return read || write ? TramUse::Addresses : TramUse::None;
    return read ? TramUse::Replaces : write ? TramUse::Stores : TramUse::None;
}

std::string NextReaderText(std::span<const Fx8010Fields> code, uint32_t reg, TramUse tram,
                           uint64_t sample, uint32_t pc, const SourceMap& source) {
    const uint32_t size = uint32_t(code.size());
    if (auto seen = Scan(code, reg, pc, size, sample, source))
        return *seen;
    const std::string ends = " as sample " + std::to_string(sample) + " ends";
    switch (tram) {
    case TramUse::Replaces:
        return "the delay line replaces it" + ends + ", before any instruction reads it";
    case TramUse::Stores:
        return "the delay line stores it" + ends;
    case TramUse::Addresses:
        return "its delay line uses it" + ends;
    case TramUse::None:
        break;
    }
    if (auto seen = Scan(code, reg, 0, pc, sample + 1, source))
        return *seen;
    return "no instruction reads it";
}
