// emuapsctl's verbs in-process over a small program on a simulated chip,
// with its names and Symbols/8010.d's: instruction 0 counts the samples in
// 0x100, so the count is an oracle for what ran; 3 reads depth (0x103); 6
// overwrites fb (0x106), which 8 reads; 9 writes output 0x20. TRAM tap 0
// reads into rl (0x200), tap 1 writes wl (0x201).
#include "control_verbs.h"
#include "fx8010_interpreter.h"
#include "operand_names_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sys/stat.h>

namespace {

constexpr uint32_t kZero = 0x40, kOne = 0x41;

ChipImage Program() {
    ChipImage chip;
    auto put = [&](uint32_t i, Fx8010Fields f) {
        const Fx8010Words w = Fx8010PackInstruction(f);
        chip.registers[kMicrocodeBase + 2 * i] = w.low;
        chip.registers[kMicrocodeBase + 2 * i + 1] = w.high;
    };
    for (uint32_t i = 0; i < uint32_t(kMicrocodeSize); ++i)
        put(i, {fx8010::kAcc3, kZero, kZero, kZero, kZero});
    put(0, {fx8010::kAcc3, 0x100, 0x100, kOne, kZero});
    put(3, {0, 0x104, kZero, 0x105, 0x103});
    put(6, {fx8010::kAcc3, 0x106, kOne, kZero, kZero});
    put(8, {fx8010::kAcc3, 0x107, 0x106, kZero, kZero});
    put(9, {fx8010::kAcc3, 0x020, 0x100, kZero, kZero});
    chip.registers[0x300] = TramEngine::kRead | 10;
    chip.registers[0x301] = TramEngine::kWrite | 20;
    return chip;
}

// The program loaded, and the verbs' context over it.
struct Served {
    HistoryRecorder history{4800};
    SimulatedChip chip;
    ControlContext context;
    Served() {
        chip.Observe(&history);
        context.history = &history;
        static const auto operands = [] {
            std::string why;
            auto names =
                ReadOperandNames(std::string(VELMORA_SOURCE_DIR) + "/Symbols/8010.d", &why);
            EXPECT_EQ(why, "");
            return names;
        }();
        chip.Load(Program());
        context.chip = &chip;
        context.names = [] {
            return RegisterNames(operands, {{"depth", 0x103},
                                            {"fb", 0x106},
                                            {"CCR", 0x108},
                                            {"rl", 0x200},
                                            {"wl", 0x201},
                                            {"wl.a", 0x301}});
        };
    }
};

struct Row {
    const char* before; // run first, "" for none
    const char* request;
    int status;
    const char* answer;   // a regular expression the answer holds
    uint32_t reg = 0x100; // and what the register then holds (the count by default)
    uint32_t value = 0;
};

TEST(ControlVerbs, EachRequestAnswersAndLeavesTheChipAsItSays) {
    // clang-format off
    const std::vector<Row> rows = {
        {"", "set 0x120 -1.0", 0, "", 0x120, 0x80000000},
        {"", "set 0x120 1.0", 0, "", 0x120, 0x7FFFFFFF},
        {"", "set 0x120 1.5", 2, "between -1 and 1", 0x120, 0},
        {"", "set 0x200 0.5", 0, "", 0x200, 0x40000},
        {"", "set 0x200 -524289", 2, "20-bit sample", 0x200, 0},
        {"set 0x200 0x80000", "get 0x200", 0, "= 0x80000 -524288 -1$", 0x200, 0x80000},
        {"set 0x120 0xC0000000", "get 0x120", 0, "= 0xC0000000 -1073741824 -0.5$", 0x120, 0xC0000000},
        {"", "watch 0x1ff --for 0.00001", 2, "from one sample", 0x100, 0},
        {"", "watch 0x1ff --for 0.00002", 1, "^no watched register changed in 1 samples", 0x100, 1},
        {"", "watch 0x1ff --for 0.5", 1, " in 24000 samples; stopped at sample 24000$", 0x100, 24000},
        {"", "watch 0x1ff --for 3600.001", 2, "--for", 0x100, 0},
        {"", "break 0x1 --for nan", 2, "--for", 0x100, 0},
        {"", "watch 0x100", 0, "changed 0x00000000 -> 0x00000001 by instruction 0x000 in sample 0; stopped at sample 0 before instruction 0x001$", 0x100, 1},
        {"", "break 0x005", 0, "^break at instruction 0x005 in sample 0; stopped at sample 0 before instruction 0x005$", 0x100, 1},
        {"", "advance 0x10", 0, "^advanced 16 samples; stopped at sample 16$", 0x100, 16},
        {"", "advance 172800001", 2, "from 1 to 172800000", 0x100, 0},
        {"", "status", 0, "^standing; 0 samples; step address 0x000; codes 0x00; no saturation; loaded nothing; 0.00x real time$"},
        {"advance 3", "status", 0, "^stopped; 3 samples; step address 0x000; codes 0x08 \\(zero\\); no saturation;", 0x100, 3},
        {"", "step", 1, "stop it first", 0x100, 0},
        {"", "status now", 2, "takes nothing more"},
        {"", "watch 0x400", 2, "watch takes registers"},
    };
    // clang-format on
    for (const Row& row : rows) {
        Served served;
        SimulatedChip& chip = served.chip;
        ControlContext& context = served.context;
        if (*row.before) {
            ASSERT_EQ(RunControlVerb(context, row.before).status, 0) << row.before;
        }
        const ControlAnswer answer = RunControlVerb(context, row.request);
        EXPECT_EQ(answer.status, row.status) << row.request << ": " << answer.text;
        EXPECT_TRUE(std::regex_search(answer.text, std::regex(row.answer)))
            << row.request << ": " << answer.text;
        EXPECT_EQ(chip.Read(row.reg), row.value) << row.request;
    }
}

// A long verb ends where it got to when its cancel says so; until then the
// verbs that move the chip are refused and status says who runs it.
TEST(ControlVerbs, ALongVerbHoldsTheChipUntilItIsCancelled) {
    for (const std::string request : {"watch 0x1ff --for 10", "advance 480000"}) {
        Served served;
        SimulatedChip& chip = served.chip;
        ControlContext& c = served.context;
        int asked = 0;
        std::string meanwhile; // between two of its slices
        const ControlAnswer answer = RunControlVerb(c, request, [&]() -> std::string {
            if (++asked < 3)
                return "";
            meanwhile = RunControlVerb(c, "status").text + " | " + RunControlVerb(c, "step").text;
            return "gone";
        });
        const std::string ran = std::to_string(chip.Read(0x100));
        EXPECT_GT(chip.Read(0x100), 0u);
        EXPECT_TRUE(fx8010dbg::Stopped(chip.Read(fx8010dbg::kRegister)));
        EXPECT_EQ(answer.status, 1);
        EXPECT_TRUE(answer.text.ends_with(" ended after " + ran +
                                          " samples (gone); stopped at sample " + ran))
            << answer.text;
        EXPECT_TRUE(meanwhile.ends_with("; a client's '" + request +
                                        "' runs it | another client's '" + request +
                                        "' runs the chip; stop ends it"))
            << meanwhile;
    }
}

struct NamedRow {
    std::vector<std::string> lines; // the last one's answer counts
    int status;
    std::string text; // how the answer starts, or after "..." a part of it
};

void Check(const std::vector<NamedRow>& rows) {
    for (const NamedRow& row : rows) {
        Served served;
        ControlAnswer said;
        for (const std::string& line : row.lines)
            said = RunControlVerb(served.context, line);
        const std::string& last = row.lines.back();
        EXPECT_EQ(said.status, row.status) << last << ": " << said.text;
        const bool part = row.text.starts_with("...");
        const std::size_t at = said.text.find(part ? row.text.substr(3) : row.text);
        EXPECT_TRUE(part ? at != std::string::npos : at == 0) << last << ": " << said.text;
        if (last.starts_with("get") || (row.status != 0 && last.starts_with("set"))) {
            EXPECT_EQ(served.chip.Read(0x52), 0u) << last << " wrote DBG";
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

// What the program writes, by the comment above, and its TRAM read: no more.
TEST(ControlTrace, TheHistoryKeepsWhatTheProgramCanChange) {
    Served served;
    served.chip.Run(1);
    EXPECT_EQ(served.history.Kept(),
              (std::vector<uint32_t>{0x20, 0x57, 0x100, 0x104, 0x106, 0x107, 0x200}));
    // A tap that reads as well changes what can change: the history starts afresh.
    served.chip.Write(0x301, TramEngine::kWrite | TramEngine::kRead | 20);
    served.chip.Run(2);
    EXPECT_EQ(served.history.Kept(),
              (std::vector<uint32_t>{0x20, 0x57, 0x100, 0x104, 0x106, 0x107, 0x200, 0x201}));
    EXPECT_EQ(served.history.held(), 2);
}

TEST(ControlTrace, RefusesWhatTheHistoryCannotGiveWithTheReasonAndWritesNothing) {
    TempDir dir;
    const std::string folder = dir.path() + "/folder", fifo = dir.path() + "/fifo";
    std::filesystem::create_directory(folder);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string ran = "advance 5";
    Check({
        {{"trace fb"}, 1, "the history holds no samples yet"},
        {{ran, "trace nosuch"}, 1, "no register is called nosuch"},
        {{ran, "trace 0x40"}, 1, "...(0x040) is a DSP constant; the history leaves it out"},
        {{ran, "trace FX_0"}, 1, "FX_0 (0x000) is an input, which the DSP does not change"},
        {{ran, "trace 0x1F"}, 1, "...(0x01F) is an input, which the DSP does not change"},
        {{ran, "trace fb 0x1FF"}, 1, "no instruction of the loaded program writes 0x1FF"},
        {{ran, "trace wl"}, 1, "no instruction writes wl (0x201) and no TRAM read loads it"},
        {{ran, "trace 0x56"}, 1, "the history keeps GPRs, TRAM data, outputs and the condition"},
        {{ran, "trace wl.a"}, 1, "...not wl.a (0x301)"},
        {{ran, "trace fb --last 0"}, 2, "--last takes seconds above 0"},
        {{ran, "trace fb --last -0.5"}, 2, "--last takes seconds above 0"},
        {{ran, "trace fb --samples 0"}, 2, "--samples takes a count from 1"},
        {{ran, "trace fb --last 1 --samples 2"}, 2, "trace takes one of --last and --samples"},
        {{ran, "trace fb --to"}, 2, "--to takes a value"},
        {{ran, "trace --last 1"}, 2, "trace takes registers"},
        {{ran, "trace fb --to out.wav"}, 1, "'out.wav' is not an absolute path"},
        {{ran, "trace fb --to " + folder}, 1, folder + " is a folder"},
        {{ran, "trace fb --to " + fifo}, 1, fifo + " is a FIFO"},
        {{ran, "trace fb --to " + dir.path() + "/no/t.csv"}, 1, "no folder " + dir.path() + "/no"},
        {{ran, "trace fb --to /proc/self/t.wav"}, 1, "cannot write in /proc/self"},
        {{ran, "trace 0x100 rl --samples 9"},
         0,
         "asked for 9 samples, the history holds 5: samples 0 to 4; 0x100: min 4.65661e-10 max "
         "2.32831e-09 rms 1.54442e-09 peak at sample 4; rl (0x200): min 0 max 0 rms 0"},
    });
    // Only what the test made: no file, no temporary one.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
    EXPECT_TRUE(std::filesystem::is_empty(folder));

    Served off;
    off.context.history = nullptr;
    EXPECT_EQ(RunControlVerb(off.context, "trace fb").text,
              "the history is off (emuapsd --history=0)");
    off.context.chip = nullptr; // a real card
    EXPECT_EQ(RunControlVerb(off.context, "trace fb").text,
              "a real card keeps no history; trace needs the simulated chip");
}

} // namespace
