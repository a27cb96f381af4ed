// Lines against instructions on a map as the assembler places a program,
// and the conditions and hit counts of line breakpoints.
#include "dap_lines.h"

#include <gtest/gtest.h>

namespace {

// echo.asm's lines 14..19 at 0..6, line 16 making 2 and 3, inc.asm:2 at 7.
SourceMap EchoMap() {
    SourceMap map;
    map.files = {{"echo.asm", std::vector<std::string>(20, "")}, {"inc.asm", {"", ""}}};
    const uint32_t lines[] = {14, 15, 16, 16, 17, 18, 19};
    for (uint32_t a = 0; a < 7; ++a)
        map.places.push_back({a, 0, lines[a]});
    map.places.push_back({7, 1, 2});
    return map;
}

} // namespace

TEST(DapLines, ALineBreaksAtItsFirstInstructionOrNamesTheNearestLines) {
    const SourceMap map = EchoMap();
    const struct {
        uint32_t file, line;
        int address; // -1: unverified
        const char* message;
    } rows[] = {
        {0, 16, 2, ""},
        {1, 2, 7, ""},
        {0, 12, -1, "no instruction comes from echo.asm:12; the nearest line with one is 14"},
        {0, 20, -1, "no instruction comes from echo.asm:20; the nearest line with one is 19"},
    };
    for (const auto& r : rows) {
        const LineBreak b = ResolveLineBreak(map, r.file, r.line);
        EXPECT_EQ(b.address ? int(*b.address) : -1, r.address) << r.line;
        EXPECT_EQ(b.message, r.message) << r.line;
    }
    SourceMap gap = map;
    gap.places.erase(gap.places.begin() + 1); // line 15 makes none
    EXPECT_EQ(ResolveLineBreak(gap, 0, 15).message,
              "no instruction comes from echo.asm:15; the nearest lines with one are 14 and 16");
}

// A step to the next line lands on another line's first instruction, a step
// back from there on the line before's first: the map itself is the oracle.
void StepsLandOnLines(const SourceMap& map) {
    constexpr uint32_t kInstructions = 16;
    const auto lineAt = [&](uint32_t a) {
        const SourcePlace* p = map.At(a);
        return p ? int(p->file * 100 + p->line) : -1;
    };
    for (uint32_t pc = 0; pc < kInstructions; ++pc) {
        const uint32_t n = InstructionsToNextLine(map, pc, kInstructions);
        ASSERT_GE(n, 1u) << pc;
        ASSERT_LE(pc + n, kInstructions) << pc;
        for (uint32_t a = pc + 1; a < pc + n; ++a)
            EXPECT_TRUE(lineAt(a) == lineAt(pc) || lineAt(a) == -1) << pc << " skips " << a;
        if (pc + n == kInstructions)
            continue; // the sample's end
        EXPECT_NE(lineAt(pc + n), lineAt(pc)) << pc;
        const uint32_t start = pc + n - InstructionsToLineBefore(map, pc + n);
        EXPECT_EQ(lineAt(start), lineAt(pc + n - 1)) << pc;
        EXPECT_TRUE(start == 0 || lineAt(start - 1) != lineAt(start)) << pc;
    }
}

TEST(DapLines, StepsByLineLandOnTheFirstInstructionOfAnotherLine) {
    SourceMap startsTwice = EchoMap(); // the first line makes two
    startsTwice.places[1].line = 14;
    for (const SourceMap& map : {EchoMap(), startsTwice})
        StepsLandOnLines(map);
    EXPECT_EQ(InstructionsToNextLine(EchoMap(), 2, 16), 2u); // over line 16's two
    EXPECT_EQ(InstructionsToLineBefore(EchoMap(), 0), 1u);
}

TEST(DapLines, ABreakpointConditionIsARegisterAndATestOfItsValue) {
    const RegisterValue half{"fb", 0x106, 0x40000000, "0x40000000", 1073741824, "0.5"};
    const RegisterValue negative{"fb", 0x106, 0xC0000000, "0xc0000000", -1073741824, "-0.5"};
    const struct {
        const char* text;
        bool valid, onHalf, onNegative;
    } rows[] = {
        {"fb>0.25", true, true, false},          {" fb < 0 ", true, false, true},
        {"fb < 0.5", true, false, true},         {"fb == 0.5", true, true, false},
        {"fb == 0x40000000", true, true, false}, {"fb < 0x0", true, false, true},
        {"fb crosses 0", false, false, false},   {"fb", false, false, false},
        {"> 0.5", false, false, false},
    };
    for (const auto& r : rows) {
        std::string why;
        const auto c = ParseValueCondition(r.text, &why);
        ASSERT_EQ(c.has_value(), r.valid) << r.text;
        if (!c) {
            EXPECT_FALSE(why.empty()) << r.text;
            continue;
        }
        EXPECT_EQ(c->name, "fb") << r.text;
        EXPECT_EQ(ConditionHolds(c->condition, half), r.onHalf) << r.text;
        EXPECT_EQ(ConditionHolds(c->condition, negative), r.onNegative) << r.text;
    }
}

// Each hit count against the hits it stops at among the first twelve.
TEST(DapLines, AHitCountStopsAtTheHitsItNames) {
    const struct {
        const char* text;
        const char* stops; // the hits 1..12 that stop, as 'x'
    } rows[] = {
        {"3", "..x........."},   {"== 3", "..x........."}, {">= 10", ".........xxx"},
        {"% 4", "...x...x...x"}, {" 1 ", "x..........."},  {"0", nullptr},
        {"-2", nullptr},         {">= ", nullptr},         {"3 times", nullptr},
    };
    for (const auto& r : rows) {
        std::string why;
        const auto hit = ParseHitCondition(r.text, &why);
        ASSERT_EQ(hit.has_value(), r.stops != nullptr) << r.text;
        if (!hit)
            continue;
        std::string stops;
        for (uint64_t n = 1; n <= 12; ++n)
            stops += HitStops(*hit, n) ? 'x' : '.';
        EXPECT_EQ(stops, r.stops) << r.text;
    }
}

TEST(DapLines, GoingBackToABreakpointFindsItsLastHit) {
    const struct {
        std::vector<uint32_t> breaks;
        DspPosition at;
        std::optional<DspPosition> hit;
    } rows[] = {
        {{2}, {100, 2}, DspPosition{99, 2}},
        {{2, 5}, {100, 3}, DspPosition{100, 2}},
        {{2, 5}, {100, 0}, DspPosition{99, 5}},
        {{5}, {0, 3}, std::nullopt},
    };
    for (const auto& r : rows)
        EXPECT_EQ(LastBreakHit(r.breaks, r.at), r.hit) << r.at.sample << " " << r.at.pc;
}
