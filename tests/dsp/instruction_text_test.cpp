// The instruction text with no symbols loaded: every name falls back to hex.
// (This binary never loads symbols into the process-wide tables.)
#include "instruction_text.h"

#include <gtest/gtest.h>

namespace {

const MicrocodeInstruction kExample{6, 0x040, 0x100, 0x101, 0x102};

TEST(FormatInstruction, ListingFormPutsTheHexCommentAtNineTabStops) {
    EXPECT_EQ(FormatInstruction(kExample, 4, false),
              "06\t\t0x040 0x100 0x101 0x102\t\t// 06 040 100 101 102");
}

TEST(FormatInstruction, NarrowTabsGetOneGapTabAndNoTrailingTabs) {
    EXPECT_EQ(FormatInstruction(kExample, 2, false),
              "06\t0x040 0x100 0x101 0x102// 06 040 100 101 102");
}

TEST(FormatInstruction, ShortFormHasSpacesAndNoComment) {
    EXPECT_EQ(FormatInstruction(kExample, 3, true), "06 0x040 0x100 0x101 0x102");
    // Trailing tabs are still computed with the given width.
    EXPECT_EQ(FormatInstruction(kExample, 4, true), "06 0x040 0x100 0x101 0x102\t\t");
}

TEST(FormatInstruction, ResultOperandComesLastInTextButFieldOrderInComment) {
    const MicrocodeInstruction instruction{0xF, 0x3FF, 0x001, 0x020, 0x2AB};
    EXPECT_EQ(FormatInstruction(instruction, 8, false),
              "0F\t\t0x3FF 0x001 0x020 0x2AB\t\t\t\t\t// 0F 3FF 001 020 2AB");
}

TEST(FormatInstruction, OutOfRangeFieldsAreShownWholeNotCut) {
    const MicrocodeInstruction odd{-1, 0x1000, 0, 0, 0};
    EXPECT_EQ(FormatInstruction(odd, 4, false),
              "FFFFFFFF\t0x1000 0x000 0x000 0x000\t// FFFFFFFF 1000 000 000 000");
}

TEST(FormatInstruction, RejectsANonPositiveTabWidth) {
    EXPECT_THROW(FormatInstruction(kExample, 0, false), std::invalid_argument);
}

} // namespace
