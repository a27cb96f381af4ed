// Colouring of listing text without a view.
#include "listing_language_definition.h"
#include "listing_scanner.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

const ListingWords kWords(JoinWordList({"C_0", "ACCUM", "z$odd"}),
                          JoinWordList({"MACS", "LOG", "Acc3"}));

// The style of every character, as one letter each: . default, R register,
// O opcode, C comment.
std::string StyleMap(std::string_view text, bool inBlock = false) {
    const ListingScan scan = ScanListing(text, inBlock, kWords);
    std::string map;
    for (const StyleRun& run : scan.runs)
        map.append(run.length, ".ROC"[static_cast<int>(run.style)]);
    return map;
}

TEST(ListingScan, WordsAreMatchedWithoutRegardToCase) {
    EXPECT_EQ(StyleMap("MACS\tC_0 accum"), "OOOO.RRR.RRRRR");
    EXPECT_EQ(StyleMap("mAcS ACC3 Z$ODD"), "OOOO.OOOO.RRRRR");
    EXPECT_EQ(StyleMap("MACSX C_00 0x040"), "................");
}

TEST(ListingScan, LineCommentRunsToTheEndOfItsLineOnly) {
    EXPECT_EQ(StyleMap("LOG\t// 0C C_0\r\nLOG"), "OOO.CCCCCCCCC..OOO");
    EXPECT_EQ(StyleMap("MACS// x"), "OOOOCCCC");
}

TEST(ListingScan, BlockCommentSpansLinesAndEndsAtItsClose) {
    const std::string text = "C_0/* a\r\nLOG */LOG";
    EXPECT_EQ(StyleMap(text), "RRR" + std::string(12, 'C') + "OOO");
    const ListingScan scan = ScanListing(text, false, kWords);
    EXPECT_EQ(scan.blockOpenAfterLine, std::vector<bool>{true});
    // "/*/" does not close the comment it opens.
    EXPECT_EQ(ScanListing("/*/\nLOG", false, kWords).blockOpenAfterLine, std::vector<bool>{true});
}

TEST(ListingScan, CarriesAnOpenBlockCommentIntoTheText) {
    EXPECT_EQ(StyleMap("LOG */ LOG", true), "CCCCCC.OOO");
    const ListingScan scan = ScanListing("a\nb\n", true, kWords);
    EXPECT_EQ(scan.blockOpenAfterLine, (std::vector<bool>{true, true}));
    EXPECT_EQ(ScanListing("a\nb\n", false, kWords).blockOpenAfterLine,
              (std::vector<bool>{false, false}));
}

TEST(ListingScan, RunsCoverTheWholeTextAndNeighboursDiffer) {
    const std::string text = "MACS\t\tC_0 C_0 C_0 C_0\t\t// 00 040 040 040 040\r\n\r\n";
    const ListingScan scan = ScanListing(text, false, kWords);
    const std::size_t total =
        std::accumulate(scan.runs.begin(), scan.runs.end(), std::size_t{0},
                        [](std::size_t sum, const StyleRun& run) { return sum + run.length; });
    EXPECT_EQ(total, text.size());
    for (std::size_t i = 1; i < scan.runs.size(); ++i)
        EXPECT_NE(scan.runs[i].style, scan.runs[i - 1].style);
}

TEST(ListingLanguage, WordListsAreJoinedByLineFeedsAndMustNotBeEmpty) {
    EXPECT_EQ(JoinWordList({"A", "B", "C"}), "A\nB\nC");
    EXPECT_EQ(JoinWordList({"A"}), "A");
    const ListingLanguageDefinition language = MakeListingLanguage({"C_0", "C_1"}, {"MACS"});
    EXPECT_EQ(language.name, "D8010");
    EXPECT_EQ(language.registerWords, "C_0\nC_1");
    EXPECT_EQ(language.opcodeWords, "MACS");
    EXPECT_THROW(MakeListingLanguage({}, {"MACS"}), std::runtime_error);
    EXPECT_THROW(MakeListingLanguage({"C_0"}, {}), std::runtime_error);
}

} // namespace
