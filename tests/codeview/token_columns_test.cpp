// Field spans of a listing line and the field a selection starts in.
#include "instruction_text.h"
#include "token_columns.h"

#include <gtest/gtest.h>

namespace {

// No symbols in this process: "06\t\t0x040 0x100 0x101 0x102\t\t// 06 040 100 101 102".
const std::string kLine = FormatInstruction({6, 0x040, 0x100, 0x101, 0x102}, 4, false);

SelectionSpan Caret(int line, int column) {
    return {line, column, line, column};
}

TEST(TokenStarts, ListingLineGivesFiveFieldsTheCommentAndTheEnd) {
    ASSERT_EQ(kLine.size(), 50u);
    EXPECT_EQ(TokenStarts(kLine), (TokenColumns{0, 4, 10, 16, 22, 29, 51}));
}

TEST(TokenStarts, LeadingSeparatorsAndShortLines) {
    EXPECT_EQ(TokenStarts(" \tA  B"), (TokenColumns{2, 5, 7, 7, 7, 7, 7}));
    EXPECT_EQ(TokenStarts(""), (TokenColumns{1, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(TokenStarts("a b c d e f g h"), (TokenColumns{0, 2, 4, 6, 8, 10, 16}));
}

TEST(FieldAtSelection, CaretAnywhereInAFieldSpanIncludingItsSeparators) {
    const int expected[][2] = {{0, 0}, {3, 0}, {4, 1}, {9, 1}, {10, 2}, {16, 3}, {22, 4}, {28, 4}};
    for (const auto& [column, field] : expected) {
        const FieldHit hit = FieldAtSelection(Caret(7, column), kLine);
        EXPECT_TRUE(hit.found) << "column " << column;
        EXPECT_EQ(hit.line, 7);
        EXPECT_EQ(hit.field, field) << "column " << column;
    }
}

TEST(FieldAtSelection, CaretInTheCommentOrBeyondTheLineIsNoField) {
    for (int column : {29, 35, 50, 51, 80}) {
        const FieldHit hit = FieldAtSelection(Caret(7, column), kLine);
        EXPECT_FALSE(hit.found) << "column " << column;
        EXPECT_EQ(hit.line, 0);
        EXPECT_EQ(hit.field, 0);
    }
}

TEST(FieldAtSelection, SelectionMayCoverItsWholeFieldButNoMore) {
    const FieldHit whole = FieldAtSelection({7, 10, 7, 16}, kLine);
    EXPECT_TRUE(whole.found);
    EXPECT_EQ(whole.field, 2);

    const FieldHit wider = FieldAtSelection({7, 10, 7, 17}, kLine);
    EXPECT_FALSE(wider.found);
    EXPECT_EQ(wider.line, 7);
    EXPECT_EQ(wider.field, 2);
}

TEST(FieldAtSelection, SelectionOverTwoLinesIsNotFoundButNamesLineAndField) {
    const FieldHit hit = FieldAtSelection({7, 10, 8, 12}, kLine);
    EXPECT_FALSE(hit.found);
    EXPECT_EQ(hit.line, 7);
    EXPECT_EQ(hit.field, 2);
    // The smaller column counts, even when it is the end's.
    const FieldHit endFirst = FieldAtSelection({7, 30, 8, 5}, kLine);
    EXPECT_FALSE(endFirst.found);
    EXPECT_EQ(endFirst.line, 7);
    EXPECT_EQ(endFirst.field, 1);
}

TEST(FieldAtSelection, EmptyLineAfterTheListingIsNoField) {
    EXPECT_FALSE(FieldAtSelection(Caret(512, 0), "").found);
    // A lone word is only ever its own first field.
    const FieldHit word = FieldAtSelection(Caret(3, 2), "MACS");
    EXPECT_TRUE(word.found);
    EXPECT_EQ(word.field, 0);
}

} // namespace
