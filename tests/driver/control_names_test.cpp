// The verbs' register names, each in its verb's own space, over a simulated
// chip running a small program; and what set says of where the DSP meets a
// value, against that program's layout.
#include "control_verbs.h"
#include "operand_names_file.h"
#include "tram_engine.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t kZero = 0x40, kOne = 0x41;

// 3 reads depth (0x103); 6 overwrites fb (0x106), which 8 reads; 9 writes
// output 0x20. TRAM tap 0 reads into rl (0x200), tap 1 writes wl (0x201).
ChipImage Program() {
    ChipImage chip;
    auto put = [&](uint32_t i, Fx8010Fields f) {
        const Fx8010Words w = Fx8010PackInstruction(f);
        chip.registers[kMicrocodeBase + 2 * i] = w.low;
        chip.registers[kMicrocodeBase + 2 * i + 1] = w.high;
    };
    for (uint32_t i = 0; i < uint32_t(kMicrocodeSize); ++i)
        put(i, {6, kZero, kZero, kZero, kZero});
    put(3, {0, 0x104, kZero, 0x105, 0x103});
    put(6, {6, 0x106, kOne, kZero, kZero});
    put(8, {6, 0x107, 0x106, kZero, kZero});
    put(9, {6, 0x020, 0x100, kZero, kZero});
    chip.registers[0x300] = TramEngine::kRead | 10;
    chip.registers[0x301] = TramEngine::kWrite | 20;
    return chip;
}

struct Row {
    std::vector<std::string> lines; // the last one's answer counts
    int status;
    std::string text; // how the answer starts, or after "..." a part of it
};

void Check(const std::vector<Row>& rows) {
    std::string why;
    const auto operands =
        ReadOperandNames(std::string(VELMORA_SOURCE_DIR) + "/Symbols/8010.d", &why);
    ASSERT_TRUE(why.empty()) << why;
    for (const Row& row : rows) {
        SimulatedChip chip;
        chip.Load(Program());
        ControlContext context;
        context.chip = &chip;
        context.names = [&] {
            return RegisterNames(operands, {{"depth", 0x103},
                                            {"fb", 0x106},
                                            {"CCR", 0x108},
                                            {"rl", 0x200},
                                            {"wl", 0x201},
                                            {"wl.a", 0x301}});
        };
        ControlAnswer said;
        for (const std::string& line : row.lines)
            said = RunControlVerb(context, line);
        const std::string& last = row.lines.back();
        EXPECT_EQ(said.status, row.status) << last << ": " << said.text;
        const bool part = row.text.starts_with("...");
        const std::size_t at = said.text.find(part ? row.text.substr(3) : row.text);
        EXPECT_TRUE(part ? at != std::string::npos : at == 0) << last << ": " << said.text;
        if (last.starts_with("get") || (row.status != 0 && last.starts_with("set"))) {
            EXPECT_EQ(chip.Read(0x52), 0u) << last << " wrote DBG";
        }
    }
}

TEST(ControlNames, EachVerbResolvesInItsOwnSpaceAndNamesWhatItRead) {
    Check({
        {{"get depth DBG"}, 0, "depth (0x103) = 0x00000000 0 0; DBG (0x052) = 0x"},
        {{"get 0x52 0x103 0x40"}, 0, "DBG (0x052) = 0x00000000 0 0; depth (0x103) = "},
        {{"get C_C0000000"}, 1, "C_C0000000 is a DSP constant, not a chip register"},
        {{"set C_C0000000 0x8000"}, 1, "C_C0000000 is a DSP constant, not a chip register"},
        {{"get FX_0"}, 1, "FX_0 is a DSP operand, not a chip register"},
        {{"watch DBG"}, 1, "DBG is a chip register, not a DSP operand"},
        {{"get nosuchname"}, 1, "no register is called nosuchname"},
        {{"set nosuchname 1"}, 1, "no register is called nosuchname"},
        {{"get CCR"}, 1, "CCR names two registers"},
        {{"watch CCR"}, 1, "CCR names two registers"},
        {{"set 0x40 1"}, 1, "0x040 is not a GPR"},
        {{"watch fb"}, 0, "fb (0x106) changed 0x00000000 -> 0x00000001 by instruction 0x006"},
        {{"watch C_C0000000 --for 0.01"}, 1, "no watched register changed in 480 samples"},
        {{"stop", "step 9"}, 0, "stepped 0x009: R OUT_FRONT_L (0x020); codes"},
        {{"stop", "step 3"}, 0, "stepped 0x003: R 0x104 0x00000000 -> 0x00000000"},
    });
}

TEST(ControlNames, SetSaysWhichInstructionReadsTheValueNext) {
    // Stopped before instruction `steps` of sample 0.
    auto after = [](int steps, const std::string& set) {
        std::vector<std::string> lines(std::size_t(steps) + 1, "step");
        lines.front() = "stop";
        lines.push_back(set);
        return lines;
    };
    Check({
        {after(0, "set depth 0.5"), 0, "...; instruction 0x003 reads it next, in sample 0"},
        {after(5, "set depth 0.9"), 0, "...; instruction 0x003 reads it next, in sample 1"},
        {after(0, "set fb 1"), 0, "...instruction 0x006 overwrites it before any instruction"},
        {after(7, "set fb 1"), 0, "...; instruction 0x008 reads it next, in sample 0"},
        {after(5, "set 0x1FF 1"), 0, "...; no instruction reads it"},
        {after(0, "set rl 0.5"), 0, "...the delay line replaces it as sample 0 ends, before any"},
        {after(5, "set wl 0.5"), 0, "...; the delay line stores it as sample 0 ends"},
        {after(0, "set wl.a 0x200000"), 0, "...; its delay line uses it as sample 0 ends"},
        {after(5, "set DBG 0x8000"), 0,
         "...; the DSP sees it from instruction 0x005 of sample 0 on"},
    });
}

} // namespace
