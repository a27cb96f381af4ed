// emuapsctl's verbs in-process over a small program on a simulated chip,
// with its names and Symbols/8010.d's: instruction 0 counts the samples in
// 0x100, so the count is an oracle for what ran; 3 reads depth (0x103); 6
// overwrites fb (0x106), which 8 reads; 9 writes output 0x20; 12 leaves
// 0x110 at (count) / 8 of full scale, saturating from sample 7 on, 13 is a
// SKIP of nothing that reads the codes, and 14 copies 0x110 into 0x202, a
// TRAM data register of no tap. TRAM tap 0 reads
// into rl (0x200), tap 1 writes wl (0x201).
#include "control_verbs.h"
#include "controls_answer.h"
#include "fx8010_interpreter.h"
#include "hex_number.h"
#include "host_write.h"
#include "operand_names_file.h"
#include "samples_answer.h"
#include "support/eventually.h"
#include "support/temp_dir.h"
#include "tram_answer.h"
#include "value_units.h"
#include "verb_words.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    put(12, {fx8010::kMacints, 0x110, kZero, 0x100, 0x4B}); // C_10000000
    put(13, {fx8010::kSkip, 0x111, Fx8010Interpreter::kConditionCodes, kZero, kZero});
    put(14, {fx8010::kAcc3, 0x202, 0x110, kZero, kZero});
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
        // fb's range is rate's in the walk-through, 0 to 0.002.
        context.controls = [] {
            return std::vector<ControlInfo>{
                {"depth", 0x103, 0, 0, 0x7FFFFFFF},
                {"fb", 0x106, 0, 0, 0x00418937},
                {"tap", 0x10A, 0, 10 << kDelayShift, 100 << kDelayShift}};
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
        // Values by their form; a bare 1 or -1, and a value outside a control's range, said.
        {"", "set depth 1", 0, "^depth \\(0x103\\) = 0x00000001 1 4.65661e-10: 0.000 in 0.000 to 1.000 \\(read 1 as the integer 1; 1.0 is full scale\\); instruction", 0x103, 1},
        {"", "set depth 1.0", 0, " = 0x7FFFFFFF 2147483647 1: 1.000 in 0.000 to 1.000; instruction", 0x103, 0x7FFFFFFF},
        {"", "set depth 0x1", 0, " = 0x00000001 1 4.65661e-10: 0.000 in 0.000 to 1.000; instruction", 0x103, 1},
        {"", "set depth 0", 0, " = 0x00000000 0 0: 0.000 in 0.000 to 1.000; instruction", 0x103, 0},
        {"", "set depth -1", 0, " \\(read -1 as the integer -1; -1.0 is negative full scale; outside depth's range 0 to 1\\); ", 0x103, 0xFFFFFFFF},
        {"", "set fb -0.1", 0, " = 0xF3333333 -214748365 -0.1: -0.10000 in 0.00000 to 0.00200 \\(outside fb's range 0 to 0.002\\); ", 0x106, 0xF3333333},
        {"", "set wl 1", 0, " = 0x00001 1 1.90735e-06 \\(read 1 as the integer 1; 1.0 is full scale\\); ", 0x201, 1},
        // In the program's units: tap (0x10A) a delay time of 10 to 100 samples, wl.a a TRAM write.
        {"", "set 0x10a 1ms", 0, "^0x10A = 0x00018000 98304 [-0-9.e]+: 48 samples \\(1 ms\\) in 10 to 100 samples \\(0.208 to 2.08 ms\\); ", 0x10A, 48 << kDelayShift},
        {"", "set 0x120 3ms", 2, "^0x120 takes no ms or smp", 0x120, 0},
        {"", "get wl.a 0x10a", 0, ": write, 20 samples \\(0.417 ms\\); 0x10A = .*: 0 samples \\(0 ms\\) in 10 to", 0x301, TramEngine::kWrite | 20},
        {"", "watch fb --above -0.1", 0, "^fb \\(0x106\\) above 0xF3333333 \\(outside fb's range 0 to 0.002\\): 0x00000000 -> 0x00000001 by", 0x106, 1},
        // step --count: program order, on across sample ends; instruction 0 counts the samples begun.
        {"stop", "step --count 3", 0, "^stepped 3 instructions, the last 0x002: R C_0 \\(0x040\\); codes 0x08 \\(zero\\); 0 samples ended; at sample 0 before instruction 0x003$", 0x100, 1},
        {"break 0x1fe", "step --count 3", 0, "the last 0x000: R 0x100 0x00000001 -> 0x00000002; codes 0x00; 1 sample ended; at sample 1 before instruction 0x001$", 0x100, 2},
        {"stop", "step --count 1030", 0, "the last 0x005: .*; 2 samples ended; at sample 2 before instruction 0x006$", 0x100, 3},
        {"stop", "step --count 51201", 2, "^step --count takes a count of instructions from 1 to 51200$", 0x100, 0},
        {"stop", "step 5 --count 2", 2, "^step takes an instruction address or --count N, not both$", 0x100, 0},
        // tram reads the pools only, within them.
        {"", "tram internal 0 4", 0, "^tram internal 0 4 of 8192; bytes 8$", 0x100, 0},
        {"", "tram external 131071 1", 0, "^tram external 131071 1 of 131072; bytes 2$", 0x100, 0},
        {"", "tram internal 8191 2", 1, "^the internal pool holds 8192 samples; samples 8191 to 8192 are not all in it$", 0x100, 0},
        {"", "tram internal 0 65537", 2, "^tram takes internal or external, the first sample and a count from 1 to 65536$", 0x100, 0},
        {"", "tram internal 0 0", 2, "^tram takes internal", 0x100, 0},
        {"", "tram middle 0 1", 2, "^tram takes internal", 0x100, 0},
        {"", "tram internal 0x10", 2, "^tram takes internal", 0x100, 0},
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
        auto now = std::chrono::steady_clock::now(); // a slice of 10 ms every 40: 0.25x
        chip.SetClock([&] { return now; });
        int asked = 0;
        std::string meanwhile; // between two of its slices
        const ControlAnswer answer = RunControlVerb(c, request, [&]() -> std::string {
            now += std::chrono::milliseconds(40);
            chip.Idle(); // as the clock's runner looks between two slices
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
        EXPECT_TRUE(meanwhile.starts_with("running a client's '" + request + "'; ") &&
                    meanwhile.ends_with("; 0.25x real time | another client's '" + request +
                                        "' runs the chip; stop ends it"))
            << meanwhile;
    }
    // step --count looks between the samples' worth of its steps.
    Served stepped;
    RunControlVerb(stepped.context, "stop");
    EXPECT_EQ(RunControlVerb(stepped.context, "step --count 51200", [] { return "gone"; }).text,
              "step --count ended after 512 instructions (gone); stopped at sample 1");
}

// status says what runs the chip, at the pace of its last second on the
// chip's clock: blocks of 1920 samples 40 ms apart are real time, from a
// resumed run's second block on; a chip that stands reads 0.
TEST(ControlVerbs, StatusSaysWhatRunsTheChipAndAtWhatPace) {
    Served served;
    auto now = std::chrono::steady_clock::now();
    served.chip.SetClock([&] { return now; });
    served.context.running = true;
    // did: a verb, a "block" of the runner, two at once as it catches up after a
    // stand ("burst"), or a "wait" of half a second.
    const char* const rows[][3] = {
        // clang-format off
        {"continue", "running; 0 samples;", "0.00"}, {"block", "running; 1920 samples;", "0.00"},
        {"block", "running; 3840 samples;", "1.00"}, {"wait", "running; 3840 samples;", "1.00"},
        // A client's stop and continue as Zendra writes DBG; the runner runs nothing meanwhile.
        {"set DBG 0x8000", "stopped; 3840 samples;", "0.00"}, {"block", "stopped; 3840 samples;", "0.00"},
        {"wait", "stopped; 3840 samples;", "0.00"}, {"set DBG 0", "running; 3840 samples;", "0.00"},
        {"burst", "running; 7680 samples;", "0.00"}, {"block", "running; 9600 samples;", "1.00"},
        {"wait", "running; 9600 samples;", "1.00"}, {"wait", "running; 9600 samples;", "0.00"},
        // clang-format on
    };
    for (const auto& [did, state, factor] : rows) {
        now += std::chrono::milliseconds(did == std::string("wait") ? 500 : 40);
        if (did == std::string("block") || did == std::string("burst")) {
            for (int block = did == std::string("burst") ? 2 : 1; block > 0; --block)
                served.chip.Run(1920);
        } else if (did != std::string("wait")) {
            ASSERT_EQ(RunControlVerb(served.context, did).status, 0);
        }
        const std::string status = RunControlVerb(served.context, "status").text;
        EXPECT_TRUE(status.starts_with(state) &&
                    status.find(std::string("; ") + factor + "x real time") != std::string::npos)
            << did << ": " << status;
    }
}

// stop answers only once the verb it ended has let go of the chip: one in
// the verb's own slice never sees it let go, and says so past its wait
// (another client's waits for it: control_socket_test).
TEST(ControlVerbs, StopAnswersOnceTheVerbItEndedHasLetGo) {
    Served served;
    ControlContext& c = served.context;
    c.turn.SetEndWait(std::chrono::milliseconds(1));
    std::string early;
    RunControlVerb(c, "watch 0x1ff --for 10", [&] {
        if (early.empty())
            early = RunControlVerb(c, "stop").text;
        return std::string();
    });
    EXPECT_EQ(early, "a client's 'watch 0x1ff --for 10' was asked to end and still holds the "
                     "chip; it ends as soon as it can");
    EXPECT_EQ(RunControlVerb(c, "step").status, 0);
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
        {{"get depth DBG"},
         0,
         "depth (0x103) = 0x00000000 0 0: 0.000 in 0.000 to 1.000; DBG (0x052) = 0x"},
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
    EXPECT_EQ(served.history.Kept(), (std::vector<uint32_t>{0x20, 0x57, 0x100, 0x104, 0x106, 0x107,
                                                            0x110, 0x111, 0x200, 0x202}));
    // A tap that reads as well changes what can change: the history starts
    // afresh once its thread has the ring, the DSP running on meanwhile.
    served.chip.Write(0x301, TramEngine::kWrite | TramEngine::kRead | 20);
    served.chip.Run(1);
    ASSERT_TRUE(Eventually([&] { return served.history.ready(); }));
    served.chip.Run(2);
    EXPECT_EQ(served.history.Kept(), (std::vector<uint32_t>{0x20, 0x57, 0x100, 0x104, 0x106, 0x107,
                                                            0x110, 0x111, 0x200, 0x201, 0x202}));
    EXPECT_EQ(served.history.held(), 2);
    // fb, a control of 0 to 0.002 that instruction 6 sets to 1, also in its unit.
    EXPECT_TRUE(RunControlVerb(served.context, "trace fb").text.ends_with(" (0.00000 to 0.00000)"));
}

TEST(ControlTrace, RefusesWhatTheHistoryCannotGiveWithTheReasonAndWritesNothing) {
    TempDir dir;
    const std::string folder = dir.path() + "/folder", fifo = dir.path() + "/fifo";
    std::filesystem::create_directory(folder);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string ran = "advance 5";
    std::string many = "trace";
    for (uint32_t reg = 0x100; reg <= 0x140; ++reg)
        many.append(" ").append(std::to_string(reg));
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
        {{ran, "trace fb 0x100 0x106"}, 2, "trace takes each register once, not fb (0x106) twice"},
        {{ran, many}, 2, "trace without --to takes at most 64 registers, a line each"},
        {{ran, "trace fb --to out.wav"}, 1, "'out.wav' is not an absolute path"},
        {{ran, "trace fb --to " + folder}, 1, folder + " is a folder"},
        {{ran, "trace fb --to " + fifo}, 1, fifo + " is a FIFO"},
        {{ran, "trace fb --to " + dir.path() + "/no/t.csv"}, 1, "no folder " + dir.path() + "/no"},
        {{ran, "trace fb --to /proc/self/t.wav"}, 1, "cannot write in /proc/self"},
        {{"advance 10", "trace 0x110"},
         0,
         "samples 0 to 9; 3 saturated, the first in sample 7 at instruction 0x00C; 0x110: min "},
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

// In sample n instruction 0 leaves the count at n + 1, 12 leaves 0x110 at
// (n + 1) / 8 (0x202's sample at (n + 1) * 0x10000) and first saturates at
// n = 7: each row stops where that arithmetic says, and the chip stands there.
TEST(ControlBreaks, AValueBreakStopsRightAfterTheFirstInstructionThatMeetsIt) {
    const struct {
        const char *before, *request;
        int status;
        const char* answer;
        uint64_t sample;
        uint32_t pc;
    } rows[] = {
        // clang-format off
        {"", "watch 0x100 --equals 1", 0, "0x100.* equal to 0x00000001 \\(read 1 as the integer 1; 1.0 is full scale\\): 0x00000000 -> 0x00000001 by instruction 0x000 in sample 0; stopped at sample 0 before instruction 0x001$", 0, 1},
        {"", "watch 0x110 --above 0.5", 0, "^0x110 above 0x40000000: 0x40000000 -> 0x50000000 by instruction 0x00C in sample 4;", 4, 13},
        // Only an instruction's write counts, not the value already there.
        {"set 0x110 0.9", "watch 0x110 --above 0.5", 0, " by instruction 0x00C in sample 4;", 4, 13},
        {"", "watch 0x110 --below -0.1 --for 0.01", 1, "^no instruction left 0x110 below 0xF3333333 in 480 samples; stopped at sample 480$", 480, 0},
        {"", "watch 0x110 --for 0.01 --crosses 0.375", 0, "^0x110 crossing 0x30000000: 0x20000000 -> 0x30000000 by instruction 0x00C in sample 2;", 2, 13},
        {"set 0x110 0.9", "watch 0x110 --crosses 0.5", 0, ": 0x73333333 -> 0x10000000 by instruction 0x00C in sample 0;", 0, 13},
        {"", "watch 0x202 --equals 0x30000 --for 0.01", 0, "^0x202.* equal to 0x30000: 0x00020000 -> 0x00030000 by instruction 0x00E in sample 2;", 2, 15},
        {"", "break --saturation", 0, "^saturation by instruction 0x00C in sample 7: R 0x110 = 0x7FFFFFFF 2147483647 1; stopped at sample 7 before instruction 0x00D$", 7, 13},
        // The SKIP after it computes nothing, though the codes still say saturated.
        {"break --saturation", "break --saturation", 0, "^saturation by instruction 0x00C in sample 8:", 8, 13},
        {"", "break --saturation --for 0.0001", 1, "^no instruction saturated in 5 samples; stopped at sample 5$", 5, 0},
        // clang-format on
    };
    for (const auto& row : rows) {
        Served served;
        ControlContext& c = served.context;
        if (*row.before) {
            ASSERT_EQ(RunControlVerb(c, row.before).status, 0) << row.before;
        }
        const ControlAnswer answer = RunControlVerb(c, row.request);
        EXPECT_EQ(answer.status, row.status) << row.request << ": " << answer.text;
        EXPECT_TRUE(std::regex_search(answer.text, std::regex(row.answer))) << answer.text;
        const std::string stands = "stopped; " + std::to_string(row.sample) +
                                   " samples; step address " + HexNumber(row.pc, 3) + "; codes";
        for (int i = 0; i < 2; ++i)
            EXPECT_TRUE(RunControlVerb(c, "status").text.starts_with(stands)) << row.request;
    }
}

TEST(ControlBreaks, AMistakenValueBreakIsRefusedAndRunsNothing) {
    const std::vector<NamedRow> rows = {
        {{"watch 0x110 --above"}, 2, "--above takes a value"},
        {{"watch 0x110 --above 0.5 --below 0.6"}, 2, "watch takes one of --above"},
        {{"watch 0x110 0x111 --equals 0"}, 2, "--equals takes one register"},
        {{"watch 0x202 --below 0x100000"}, 2, "--below: '0x100000' is not a TRAM data"},
        {{"watch C_10000000 --above 0"}, 1, "C_10000000 (0x04B) is a DSP constant; --above takes"},
        {{"watch wl.a --equals 0"}, 1, "wl.a (0x301) is a TRAM address register"},
        {{"break"}, 2, "break takes instruction addresses from 0 to 0x1FF, or --saturation"},
    };
    Check(rows);
    for (const NamedRow& row : rows) {
        Served served;
        RunControlVerb(served.context, row.lines[0]);
        EXPECT_EQ(served.chip.position().samples + served.chip.position().pc, 0u) << row.lines[0];
    }
    // The client waits as long as the service runs, wherever --for stands.
    EXPECT_EQ(RequestRunSamples("watch 0x110 --for 2 --above 0.5"), 96000);
    EXPECT_EQ(RequestRunSamples("break --for 2 --saturation"), 96000);
}

// The scope's samples against the history's own Take over the same span,
// and against the count in 0x100, which is n + 1 after sample n.
TEST(ControlSamples, GiveTheHistoryFromASampleOnWithWhereTheChipStands) {
    const struct {
        std::vector<std::string> before;
        bool running;
        uint64_t from;
        std::vector<uint32_t> regs;
        uint64_t first;
        int64_t count;
        const char* state;
        int saturatedAt;
    } rows[] = {
        {{}, false, 0, {0x100}, 0, 0, "standing", -1},
        {{"advance 5"}, false, 0, {0x100, 0x200, 0x202, 0x20}, 0, 5, "stopped", -1},
        {{"advance 10"}, false, 4, {0x100}, 4, 6, "stopped", 0x00C},
        {{"advance 10"}, false, 10, {0x100}, 10, 0, "stopped", 0x00C},
        {{"advance 10"}, false, 99, {0x100}, 10, 0, "stopped", 0x00C},
        {{"advance 5000"}, false, 3, {0x100}, 200, 4800, "stopped", 0x00C},
        {{"advance 10", "continue"}, true, 2, {0x110}, 2, 8, "running", 0x00C},
        {{"advance 10", "continue", "clear"}, false, 2, {0x110}, 2, 8, "standing", -1},
    };
    for (const auto& row : rows) {
        Served served;
        served.context.running = row.running;
        for (const std::string& line : row.before)
            ASSERT_EQ(RunControlVerb(served.context, line).status, 0) << line;
        std::string request = "samples " + std::to_string(row.from);
        for (uint32_t reg : row.regs)
            request += " " + HexNumber(reg, 3);
        const ControlAnswer answer = RunControlVerb(served.context, request);
        ASSERT_EQ(answer.status, 0) << request << ": " << answer.text;
        const std::optional<SamplesHeader> h = ParseSamplesHeader(answer.text);
        ASSERT_TRUE(h) << answer.text;
        EXPECT_EQ(h->first, row.first) << request;
        EXPECT_EQ(h->count, row.count) << request;
        EXPECT_EQ(h->at, served.chip.position().samples) << request;
        EXPECT_EQ(h->state, row.state) << request;
        EXPECT_EQ(h->saturatedAt, row.saturatedAt) << request;
        const auto columns = SamplesColumns(*h, answer.payload);
        ASSERT_EQ(columns.size(), row.regs.size()) << request;
        if (const auto taken = served.history.Take(row.regs, h->count); h->count > 0) {
            EXPECT_EQ(columns, taken->columns) << request;
        }
        for (int64_t k = 0; row.regs[0] == 0x100 && k < h->count; ++k)
            ASSERT_EQ(columns[0][std::size_t(k)], int32_t(h->first) + int32_t(k) + 1);
    }
}

TEST(ControlSamples, TakeNoMoreThanAskedAndANewLoadIsANewLayOut) {
    Served served;
    ControlContext& c = served.context;
    c.reload = [&](std::string*) {
        served.chip.Load(Program());
        return true;
    };
    RunControlVerb(c, "advance 300");
    const std::optional<HistoryRecorder::Span> newest = served.history.TakeFrom({0x100}, 0, 100);
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->first, 200u);
    const auto before = ParseSamplesHeader(RunControlVerb(c, "samples 0 0x100").text);
    ASSERT_EQ(RunControlVerb(c, "reload").status, 0);
    RunControlVerb(c, "advance 3");
    const auto after = ParseSamplesHeader(RunControlVerb(c, "samples 0 0x100").text);
    ASSERT_TRUE(before && after);
    EXPECT_NE(before->load, after->load);
    EXPECT_EQ(after->first, 0u);
    EXPECT_EQ(after->at, 3u);
}

TEST(ControlSamples, RefuseWhatTheHistoryCannotGive) {
    const std::string ran = "advance 5";
    Check({
        {{ran, "samples 0 0x40"}, 1, "...(0x040) is a DSP constant; the history leaves it out"},
        {{ran, "samples 0 nosuch"}, 1, "no register is called nosuch"},
        {{ran, "samples 0 fb 0x100 rl 0x202 0x110"}, 2, "samples takes at most 4 registers"},
        {{ran, "samples x 0x100"}, 2, "samples takes a sample number first, not 'x'"},
        {{ran, "samples 0"}, 2, "samples takes a sample number, then up to 4 registers"},
    });
    Served off;
    off.context.history = nullptr;
    EXPECT_EQ(RunControlVerb(off.context, "samples 0 fb").text,
              "the history is off (emuapsd --history=0)");
    off.context.chip = nullptr;
    EXPECT_EQ(RunControlVerb(off.context, "samples 0 fb").text,
              "a real card keeps no history; samples needs the simulated chip");
}

// controls reads each control's value from the chip; clear forgets only
// DBG's saturation, whatever else DBG holds.
TEST(ControlPanel, ControlsReadTheChipAndClearLeavesTheRestOfDbg) {
    Served served;
    ControlContext& c = served.context;
    c.controls = nullptr;
    EXPECT_EQ(RunControlVerb(c, "controls").text, "0 controls");
    c.controls = [] {
        return std::vector<ControlInfo>{{"depth", 0x103, 0, 0, 0x7FFFFFFF},
                                        {"fb", 0x106, 0, 0x10, 0x20}};
    };
    RunControlVerb(c, "set depth 0.5");
    const ControlAnswer listed = RunControlVerb(c, "controls");
    EXPECT_EQ(ParseControls(listed.text),
              (std::vector<ControlInfo>{{"depth", 0x103, 0x40000000, 0, 0x7FFFFFFF},
                                        {"fb", 0x106, 0, 0x10, 0x20}}))
        << listed.text;

    ASSERT_EQ(RunControlVerb(c, "break --saturation").status, 0);
    const uint32_t dbg = served.chip.Read(fx8010dbg::kRegister);
    ASSERT_EQ(fx8010dbg::SaturationAddress(dbg), 0x00C);
    EXPECT_EQ(RunControlVerb(c, "clear").text, "cleared");
    EXPECT_EQ(served.chip.Read(fx8010dbg::kRegister),
              dbg & ~(fx8010dbg::kSaturated | fx8010dbg::kSaturationAddress));
}

// The service's own changes of DBG with a client's write put between their
// read and their write: the bits the verb does not mean keep the client's.
TEST(ControlDbg, TheServicesChangesKeepAClientsWriteThatComesBetween) {
    constexpr uint32_t kCounter = fx8010dbg::kZeroCounter, kStopped = fx8010dbg::kSingleStep;
    const struct {
        const char *before, *verb;
        uint32_t client, mask, dbg;
    } rows[] = {
        // clang-format off
        {"", "stop", kCounter, ~0u, kCounter | kStopped},
        {"stop", "continue", kCounter | kStopped | fx8010dbg::kStep, ~0u, kCounter},
        {"", "clear", kCounter | 0x020C0000, ~0u, kCounter},
        {"stop", "step 9", kCounter | kStopped, kCounter | kStopped | fx8010dbg::kStep, kCounter | kStopped},
        // clang-format on
    };
    for (const auto& row : rows) {
        Served served;
        RunControlVerb(served.context, row.before);
        ApsChipWord* registers = served.chip.Ports().registers;
        served.chip.SetDbgChangeSeam([&, first = true]() mutable {
            if (std::exchange(first, false))
                ApsHostWrite(registers, fx8010dbg::kRegister, row.client);
        });
        EXPECT_EQ(RunControlVerb(served.context, row.verb).status, 0) << row.verb;
        EXPECT_EQ(served.chip.Read(fx8010dbg::kRegister) & row.mask, row.dbg) << row.verb;
    }
}

} // namespace

// The write tap stores wl once a sample, each at the next place of the
// pool, so after N samples the pool holds wl's sample N times.
TEST(ControlTram, ThePoolHoldsWhatTheWriteTapStoredOnceASample) {
    Served served;
    ASSERT_EQ(RunControlVerb(served.context, "set wl 0.5").status, 0);
    ASSERT_EQ(RunControlVerb(served.context, "advance 7").status, 0);
    const ControlAnswer answer = RunControlVerb(served.context, "tram internal 0 8192");
    ASSERT_EQ(answer.status, 0) << answer.text;
    const auto header = ParseTramHeader(answer.text);
    ASSERT_TRUE(header) << answer.text;
    const std::vector<int16_t> pool = TramSamples(*header, answer.payload);
    EXPECT_EQ(std::count(pool.begin(), pool.end(), int16_t(0x4000)), 7);
}
