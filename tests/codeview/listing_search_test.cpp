// The changed-line walk and the register search on plain data.
#include "listing_search.h"

#include <gtest/gtest.h>

#include <set>

namespace {

constexpr MicrocodeInstruction kNop{6, 0x40, 0x40, 0x40, 0x40};

std::vector<MicrocodeInstruction> Program() {
    return std::vector<MicrocodeInstruction>(512, kNop);
}

TEST(FindNextMarkedLine, WrapsAfterTheLastLineAndNeverExaminesTheStart) {
    const std::set<int> marked{5, 300};
    const auto isMarked = [&](int line) { return marked.count(line) != 0; };
    EXPECT_EQ(FindNextMarkedLine(0, 513, isMarked), 5);
    EXPECT_EQ(FindNextMarkedLine(5, 513, isMarked), 300);
    EXPECT_EQ(FindNextMarkedLine(300, 513, isMarked), 5);
    EXPECT_EQ(FindNextMarkedLine(512, 513, isMarked), 5);

    std::vector<int> examined;
    const auto onlyStart = [&](int line) {
        examined.push_back(line);
        return line == 7;
    };
    EXPECT_EQ(FindNextMarkedLine(7, 513, onlyStart), std::nullopt);
    ASSERT_EQ(examined.size(), 512u);
    EXPECT_EQ(examined.front(), 8);
    EXPECT_EQ(examined.back(), 6);
    EXPECT_EQ(FindNextMarkedLine(0, 0, isMarked), std::nullopt);
}

TEST(FindRegisterUse, FromTheLastInstructionItExaminesZeroTo510) {
    std::vector<MicrocodeInstruction> code = Program();
    code[511].X = 0x123;
    code[0].Y = 0x123;
    const auto hit = FindRegisterUse(code, 511, 2, RegisterUse::Any);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->index, 0);
    EXPECT_EQ(hit->field, 3);

    code[0].Y = 0x40;
    code[510].R = 0x123;
    EXPECT_EQ(FindRegisterUse(code, 511, 2, RegisterUse::Any)->index, 510);
    code[510].R = 0x40;
    EXPECT_EQ(FindRegisterUse(code, 511, 2, RegisterUse::Any), std::nullopt);
}

TEST(FindRegisterUse, FromInstructionZeroItReachesTheLast) {
    std::vector<MicrocodeInstruction> code = Program();
    code[0].R = 0x2A0;
    code[511].A = 0x2A0;
    const auto hit = FindRegisterUse(code, 0, 4, RegisterUse::Input);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->index, 511);
    EXPECT_EQ(hit->field, 1);
}

TEST(FindRegisterUse, ModeDecidesWhichOperandsCount) {
    std::vector<MicrocodeInstruction> code = Program();
    code[10] = {0, 0x100, 0x41, 0x42, 0x100}; // A and R are the same register
    code[20] = {0, 0x41, 0x42, 0x43, 0x100};  // writes it
    code[30] = {0, 0x41, 0x42, 0x100, 0x100}; // reads it in Y and writes it
    code[40] = {0, 0x41, 0x100, 0x43, 0x44};  // reads it in X

    const auto output = FindRegisterUse(code, 10, 1, RegisterUse::Output);
    EXPECT_EQ(output->index, 20);
    EXPECT_EQ(output->field, 4);

    const auto input = FindRegisterUse(code, 10, 4, RegisterUse::Input);
    EXPECT_EQ(input->index, 30);
    EXPECT_EQ(input->field, 3);

    // Any: the first matching input field wins over R.
    const auto any = FindRegisterUse(code, 20, 4, RegisterUse::Any);
    EXPECT_EQ(any->index, 30);
    EXPECT_EQ(any->field, 3);

    const auto nextInput = FindRegisterUse(code, 30, 3, RegisterUse::Input);
    EXPECT_EQ(nextInput->index, 40);
    EXPECT_EQ(nextInput->field, 2);
    // ... and back round to the first instruction that reads it.
    EXPECT_EQ(FindRegisterUse(code, 40, 2, RegisterUse::Input)->index, 10);
}

TEST(FindRegisterUse, OutOfRangeCaretFindsNothing) {
    const std::vector<MicrocodeInstruction> code = Program();
    EXPECT_EQ(FindRegisterUse(code, 512, 1, RegisterUse::Any), std::nullopt);
    EXPECT_EQ(FindRegisterUse(code, -1, 1, RegisterUse::Any), std::nullopt);
    EXPECT_EQ(FindRegisterUse(code, 3, 0, RegisterUse::Any), std::nullopt);
    EXPECT_EQ(FindRegisterUse(code, 3, 5, RegisterUse::Any), std::nullopt);
    EXPECT_EQ(FindRegisterUse({}, 0, 1, RegisterUse::Any), std::nullopt);
}

} // namespace
