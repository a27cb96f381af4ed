#include "samples_verb.h"

#include "history_recorder.h"
#include "scope_wire.h"
#include "trace_verb.h"
#include "verb_words.h"

ControlAnswer SamplesVerb(SimulatedChip& chip, bool running, const HistoryRecorder* history,
                          const std::vector<std::string>& words, const RegisterNames& names) {
    constexpr const char* kUsage = "samples takes a sample number, then up to 4 registers";
    uint64_t from = 0;
    if (words.size() < 3)
        return {2, kUsage};
    if (!ParseNumber(words[1], &from))
        return {2, "samples takes a sample number first, not '" + words[1] + "'"};
    if (words.size() - 2 > std::size_t(kMaxSamplesRegisters))
        return {2, "samples takes at most " + std::to_string(kMaxSamplesRegisters) + " registers"};
    std::vector<uint32_t> registers;
    for (std::size_t i = 2; i < words.size(); ++i) {
        std::string why;
        const std::optional<uint32_t> reg = names.Find(words[i], RegisterSpace::Operands, &why);
        if (!reg)
            return {1, why};
        if (*reg >= 0x400)
            return {2, "samples takes registers from 0 to 0x3FF, as the DSP sees them"};
        registers.push_back(*reg);
    }
    if (!history)
        return {1, "the history is off (emuapsd --history=0)"};
    // Until the first sample after a load the history is not laid out: it
    // holds nothing yet, of any register.
    const bool empty = history->held() == 0;
    for (uint32_t reg : registers)
        if (!empty && !history->Keeps(reg))
            return {1, HistoryLeavesOut(reg, names)};
    // DBG before the samples: a stop it shows has its samples in them.
    const uint32_t dbg = chip.Read(fx8010dbg::kRegister);
    std::optional<HistoryRecorder::Span> span =
        history->TakeFrom(empty ? std::vector<uint32_t>() : registers, from, kMaxSamplesAnswer);
    if (span && span->samples == 0)
        span->columns.assign(registers.size(), {});
    if (!span)
        return {1, "the chip was reloaded meanwhile; ask again"};
    SamplesHeader header;
    header.first = span->first;
    header.count = span->samples;
    header.registers = int(registers.size());
    header.load = span->load;
    header.at = span->next;
    header.state = fx8010dbg::Stopped(dbg) ? "stopped" : running ? "running" : "standing";
    header.saturatedAt = fx8010dbg::SaturationAddress(dbg);
    header.bytes = uint64_t(header.count) * uint64_t(header.registers) * sizeof(int32_t);
    return {0, SamplesHeaderText(header), SamplesPayload(span->columns)};
}
