// emuapsctl's verbs in-process over a chip whose instruction 0 counts its
// samples in 0x100, so the count is an oracle for what ran.
#include "control_verbs.h"
#include "fx8010_interpreter.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

ChipImage Counter() {
    using namespace fx8010;
    ChipImage chip;
    auto instr = [&](int i, uint32_t r, uint32_t a, uint32_t x) {
        chip.registers[kMicrocodeBase + 2 * i] = (x << 10) | 0x40;
        chip.registers[kMicrocodeBase + 2 * i + 1] = (kAcc3 << 20) | (r << 10) | a;
    };
    for (int i = 1; i < kMicrocodeSize; ++i)
        instr(i, 0x40, 0x40, 0x40); // ACC3 C_0, C_0, C_0, C_0
    instr(0, 0x100, 0x100, 0x41);   // 0x100 += 1
    return chip;
}

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
        SimulatedChip chip;
        chip.Load(Counter());
        ControlContext context;
        context.chip = &chip;
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
        SimulatedChip chip;
        chip.Load(Counter());
        ControlContext c;
        c.chip = &chip;
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

} // namespace
