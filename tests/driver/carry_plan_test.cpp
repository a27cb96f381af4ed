// What a reload keeps of the running program, worked out from the two
// placements alone.
#include "carry_plan.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Pair = std::pair<uint32_t, uint32_t>;

bool Has(const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

// Each register row: how the new program has it, and where its name is
// then listed and whether its running value is taken over.
TEST(CarryPlan, RegistersAreKeptByNameAndKindUnlessTheirValueChanged) {
    struct Row {
        const char* what;
        PlacedName before;
        uint32_t oldValue;
        PlacedName after;
        uint32_t newValue;
        const char* listed; // kept, changed, fresh or gone
        bool carried;
    };
    const Row rows[] = {
        {"the same", {"fb", 0x104, "Control"}, 7, {"fb", 0x104, "Control"}, 7, "kept", true},
        {"moved", {"fb", 0x104, "Control"}, 7, {"fb", 0x10A, "Control"}, 7, "kept", true},
        {"edited", {"fb", 0x104, "Control"}, 7, {"fb", 0x104, "Control"}, 8, "changed", false},
        {"another kind", {"fb", 0x104, "Static"}, 7, {"fb", 0x104, "Control"}, 7, "fresh", false},
        {"renamed", {"fb", 0x104, "Control"}, 7, {"gain", 0x104, "Control"}, 7, "fresh", false},
        {"a tap", {"rl.a", 0x301, "TRAM address"}, 9, {"rl.a", 0x301, "TRAM address"}, 9, "", true},
        {"a tap moved",
         {"rl.a", 0x301, "TRAM address"},
         9,
         {"rl.a", 0x301, "TRAM address"},
         8,
         "changed",
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ChipImage oldImage, newImage;
        oldImage.registers[row.before.address] = row.oldValue;
        newImage.registers[row.after.address] = row.newValue;
        LoadedProgram before, after;
        before.names = {row.before};
        after.names = {row.after};
        before.owned = {row.before.address};
        after.owned = {row.after.address};
        const CarryPlan plan = PlanCarry(oldImage, before, newImage, after);
        const std::string listed = row.listed;
        EXPECT_EQ(Has(plan.kept, row.after.name), listed == "kept");
        EXPECT_EQ(Has(plan.changed, row.after.name), listed == "changed");
        EXPECT_EQ(Has(plan.fresh, row.after.name), listed == "fresh");
        EXPECT_EQ(Has(plan.gone, row.before.name), listed == "fresh");
        const Pair carry{row.before.address, row.after.address};
        const auto& carried = plan.carry.registers;
        EXPECT_EQ(std::find(carried.begin(), carried.end(), carry) != carried.end(), row.carried);
        // A register of the patch's never keeps its value by address alone.
        const Pair stays{row.after.address, row.after.address};
        if (!row.carried) {
            EXPECT_EQ(std::find(carried.begin(), carried.end(), stays), carried.end());
        }
    }
}

// GPRs and TRAM registers no program took (the image's own) keep theirs
// where the image left their value alone; the microcode and the chip's other
// registers (DBG at 0x052, a host-only one at 0x0F0) are the new image's.
TEST(CarryPlan, TheImagesOwnRegistersStayUnlessTheImageChangedThem) {
    ChipImage oldImage, newImage;
    oldImage.registers[0x120] = newImage.registers[0x120] = 3;
    oldImage.registers[0x121] = 3;
    newImage.registers[0x121] = 4;
    const CarryPlan plan = PlanCarry(oldImage, {}, newImage, {});
    const auto& carried = plan.carry.registers;
    const auto carries = [&](uint32_t r) {
        return std::find(carried.begin(), carried.end(), Pair{r, r}) != carried.end();
    };
    EXPECT_TRUE(carries(0x120));
    EXPECT_FALSE(carries(0x121));
    EXPECT_TRUE(carries(0x3FF));
    EXPECT_FALSE(carries(0x052));
    EXPECT_FALSE(carries(0x0F0));
    EXPECT_FALSE(carries(kMicrocodeBase));
    EXPECT_FALSE(carries(kMicrocodeBase + 2 * kMicrocodeSize - 1));
}

// Each delay line row: kept with its samples (moved wherever the new
// placement put it) only under the same name and size; else silent.
TEST(CarryPlan, DelayLinesAreKeptByNameAndSizeAndMovedWithThePlacement) {
    struct Row {
        const char* what;
        PlacedLine before, after;
        bool kept;
    };
    const Row rows[] = {
        {"in place", {"dl", {false, 100, 50}}, {"dl", {false, 100, 50}}, true},
        {"moved", {"dl", {false, 100, 50}}, {"dl", {false, 400, 50}}, true},
        {"to external", {"dl", {false, 100, 50}}, {"dl", {true, 0, 50}}, true},
        {"resized", {"dl", {false, 100, 50}}, {"dl", {false, 100, 51}}, false},
        {"renamed", {"dl", {false, 100, 50}}, {"d2", {false, 100, 50}}, false},
        {"unnamed", {"", {false, 100, 50}}, {"", {false, 100, 50}}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        LoadedProgram before, after;
        before.lines = {row.before};
        after.lines = {row.after};
        const CarryPlan plan = PlanCarry({}, before, {}, after);
        const std::vector<TramMove> moves = {{row.before.span, row.after.span}};
        EXPECT_EQ(plan.carry.moves, row.kept ? moves : std::vector<TramMove>{});
        EXPECT_EQ(plan.carry.silenced,
                  row.kept ? std::vector<TramSpan>{} : std::vector<TramSpan>{row.after.span});
        EXPECT_EQ(plan.keptLines.size(), row.kept ? 1u : 0u);
        EXPECT_EQ(plan.goneLines.size(), !row.kept && row.before.name != row.after.name ? 1u : 0u);
    }
}

TEST(CarryPlan, TheAnswerNamesWhatWasKeptChangedNewAndGone) {
    LoadedProgram before, after;
    before.instructions = 6;
    after.instructions = 7;
    before.names = {{"fb", 0x104, "Control"},
                    {"wet", 0x105, "Control"},
                    {"old", 0x106, "Static"},
                    {"rl", 0x201, "TRAM data"},
                    {"rl.a", 0x301, "TRAM address"}};
    after.names = {{"fb", 0x104, "Control"},
                   {"wet", 0x105, "Control"},
                   {"lp", 0x106, "Static"},
                   {"rl", 0x201, "TRAM data"},
                   {"rl.a", 0x301, "TRAM address"}};
    before.lines = after.lines = {{"dl", {false, 0, 14401}}};
    ChipImage oldImage, newImage;
    newImage.registers[0x105] = 1;
    const CarryPlan plan = PlanCarry(oldImage, before, newImage, after);
    EXPECT_EQ(CarryText("echo.emu10k1", before, after, plan),
              "reloaded echo.emu10k1: 6 -> 7 instructions; kept fb rl, dl (300 ms); changed wet; "
              "new lp; gone old");
    EXPECT_EQ(CarryText("e", {}, {}, PlanCarry({}, {}, {}, {})),
              "reloaded e: 0 -> 0 instructions; kept —; new —; gone —");
}

} // namespace
