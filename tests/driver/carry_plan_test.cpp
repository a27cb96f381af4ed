// What a reload keeps of the running program, from the two placements alone.
#include "carry_plan.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

template <class List, class T> bool Has(const List& list, const T& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// A register of the same name and kind keeps its running value, wherever it
// moved, unless the file's value changed; the image's own GPRs and TRAM
// registers (unnamed, owned by neither) stay where the image left them
// alone; the chip's other registers (DBG 0x052, 0x0F0) and the microcode
// never carry.
TEST(CarryPlan, RegistersAreKeptByNameAndKindUnlessTheirValueChanged) {
    const struct {
        PlacedName before, after;
        uint32_t newValue; // the old one is 7
        std::string listed;
        bool carried;
    } rows[] = {
        {{"fb", 0x104, "Control"}, {"fb", 0x104, "Control"}, 7, "kept", true},
        {{"fb", 0x104, "Control"}, {"fb", 0x10A, "Control"}, 7, "kept", true},
        {{"fb", 0x104, "Control"}, {"fb", 0x104, "Control"}, 8, "changed", false},
        {{"fb", 0x104, "Static"}, {"fb", 0x104, "Control"}, 7, "new", false},
        {{"fb", 0x104, "Control"}, {"gain", 0x104, "Control"}, 7, "new", false},
        {{"rl.a", 0x301, "TRAM address"}, {"rl.a", 0x301, "TRAM address"}, 7, "", true},
        {{"rl.a", 0x301, "TRAM address"}, {"rl.a", 0x301, "TRAM address"}, 8, "changed", false},
        {{"", 0x120, ""}, {"", 0x120, ""}, 7, "", true},
        {{"", 0x3FF, ""}, {"", 0x3FF, ""}, 8, "", false},
        {{"", 0x052, ""}, {"", 0x052, ""}, 7, "", false},
        {{"", 0x0F0, ""}, {"", 0x0F0, ""}, 7, "", false},
        {{"", kMicrocodeBase, ""}, {"", kMicrocodeBase, ""}, 7, "", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.after.address);
        ChipImage oldImage, newImage;
        oldImage.registers[row.before.address] = 7;
        newImage.registers[row.after.address] = row.newValue;
        LoadedProgram before, after;
        if (!row.before.name.empty()) {
            before.names = {row.before};
            after.names = {row.after};
            before.owned = {row.before.address};
            after.owned = {row.after.address};
        }
        const CarryPlan plan = PlanCarry(oldImage, before, newImage, after);
        const std::string& n = row.after.name;
        EXPECT_EQ(Has(plan.kept, n)                                       ? "kept"
                  : Has(plan.changed, n)                                  ? "changed"
                  : Has(plan.fresh, n) && Has(plan.gone, row.before.name) ? "new"
                                                                          : "",
                  row.listed);
        const std::pair<uint32_t, uint32_t> carry{row.before.address, row.after.address};
        EXPECT_EQ(Has(plan.carry.registers, carry), row.carried);
    }
}

// A delay line keeps its samples, moved where the new placement put it
// (either pool), only under the same name and size; else it starts silent.
TEST(CarryPlan, DelayLinesAreKeptByNameAndSizeAndMovedWithThePlacement) {
    const PlacedLine dl{"dl", {false, 100, 50}};
    const PlacedLine rows[][2] = {
        {dl, dl},
        {dl, {"dl", {false, 400, 50}}},
        {dl, {"dl", {true, 0, 50}}},
        {dl, {"dl", {false, 100, 51}}},
        {dl, {"d2", dl.span}},
        {{"", dl.span}, {"", dl.span}},
    };
    for (const auto& [before, after] : rows) {
        LoadedProgram old, now;
        old.lines = {before};
        now.lines = {after};
        const CarryPlan plan = PlanCarry({}, old, {}, now);
        const bool kept = !before.name.empty() && before.name == after.name &&
                          before.span.size == after.span.size;
        using Moves = std::vector<TramMove>;
        EXPECT_EQ(plan.carry.moves, (kept ? Moves{{before.span, after.span}} : Moves{}));
        EXPECT_EQ(plan.carry.silenced.size(), kept ? 0u : 1u);
        EXPECT_EQ(plan.goneLines.size(), std::size_t(before.name != after.name));
    }
}

} // namespace
