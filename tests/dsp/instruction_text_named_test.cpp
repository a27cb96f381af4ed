// The instruction text with the shipped names.
#include "instruction_text.h"
#include "shipped_symbols.h"

#include <gtest/gtest.h>

namespace {

class NamedInstructionText : public ::testing::Test {
  protected:
    void SetUp() override { LoadShippedSymbolsOnce(); }
};

TEST_F(NamedInstructionText, OpcodeAsLongAsTheTabWidthGetsOneTabAShorterOneTwo) {
    // MACS has four letters, LOG three.
    // Operand text of 18 characters: 7 - 18 / 4 = 3 trailing tabs.
    EXPECT_EQ(FormatInstruction({0x0, 0x40, 0x41, 0x100, 0x00}, 4, false),
              "MACS\tC_0 C_1 0x100 FX_0\t\t\t// 00 040 041 100 000");
    EXPECT_EQ(FormatInstruction({0xC, 0x40, 0x41, 0x100, 0x00}, 4, false),
              "LOG\t\tC_0 C_1 0x100 FX_0\t\t\t// 0C 040 041 100 000");
}

TEST_F(NamedInstructionText, LongOpcodeNamePushesOperandsWithoutTruncation) {
    EXPECT_EQ(FormatInstruction({0x4, 0x56, 0x56, 0x56, 0x56}, 2, false),
              "MACINTS\tACCUM ACCUM ACCUM ACCUM// 04 056 056 056 056");
}

TEST_F(NamedInstructionText, WideOperandTextGetsNoTrailingTab) {
    // 7 x 4 = 28 characters or more: the comment follows directly.
    const std::string line =
        FormatInstruction({0x6, 0x1C, 0x1D, 0x2A, 0x2B}, 4, false); // 39 characters
    EXPECT_EQ(line, "ACC3\tIN_LINE2_L IN_LINE2_R OUT_ADC_L OUT_ADC_R// 06 01C 01D 02A 02B");
}

TEST_F(NamedInstructionText, CommentKeepsRawNumbersAndUnnamedOperandsStayHex) {
    EXPECT_EQ(FormatInstruction({0xA, 0x05C, 0x0ff, 0x4A, 0x1ff}, 3, true),
              "LIMIT 0x05C 0x0FF C_80000 0x1FF");
}

} // namespace
