#include "samples_verb.h"

#include "history_recorder.h"
#include "samples_answer.h"
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
    // DBG before the samples: a stop it shows has its samples in them.
    const uint32_t dbg = chip.Read(fx8010dbg::kRegister);
    // One read gives the header and the columns alike.
    std::vector<std::vector<int32_t>> columns(registers.size());
    const HistoryRecorder::Read read =
        history->ReadPieces(registers, from, kMaxSamplesAnswer, [&](const auto& piece) {
            for (int64_t row = 0; row < piece.rows; ++row)
                for (std::size_t c = 0; c < columns.size(); ++c)
                    columns[c].push_back(piece.values[std::size_t(row) * piece.stride + c]);
            return true;
        });
    if (std::string problem = HistoryReadProblem(read, names, "ask"); !problem.empty())
        return {1, problem};
    SamplesHeader header;
    header.first = read.extent.first;
    header.count = read.extent.samples;
    header.registers = int(registers.size());
    header.load = read.extent.load;
    header.at = read.extent.next;
    header.state = fx8010dbg::Stopped(dbg) ? "stopped" : running ? "running" : "standing";
    header.saturatedAt = fx8010dbg::SaturationAddress(dbg);
    header.bytes = uint64_t(header.count) * uint64_t(header.registers) * sizeof(int32_t);
    return {0, SamplesHeaderText(header), SamplesPayload(columns)};
}
