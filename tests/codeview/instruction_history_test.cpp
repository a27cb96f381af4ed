// The caret instruction's earlier versions, newest first.
#include "instruction_history.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// Each read gives every instruction A = the read's sequence number.
struct Chip {
    int reads = 0;
    void Read(CodeHistory& history) {
        ++reads;
        RefreshOrEnd(history, [this](MicrocodeInstruction* code) {
            std::fill(code, code + CodeHistory::kSize,
                      MicrocodeInstruction{6, reads, 0x40, 0x40, 0x41});
            return 0;
        });
    }
};

TEST(HistoryText, EmptyUntilTheSecondRead) {
    CodeHistory history;
    Chip chip;
    EXPECT_EQ(HistoryText(history, 0), "");
    chip.Read(history);
    EXPECT_EQ(HistoryText(history, 0), "");
    chip.Read(history);
    // No symbols in this process, so every name is hexadecimal.
    EXPECT_EQ(HistoryText(history, 0), " 06 0x001 0x040 0x040 0x041");
}

TEST(HistoryText, AfterSixReadsOnlyTheFourNewestEarlierVersions) {
    CodeHistory history;
    Chip chip;
    for (int i = 0; i < 6; ++i)
        chip.Read(history);
    EXPECT_EQ(HistoryText(history, 511), " 06 0x005 0x040 0x040 0x041\r\n"
                                         " 06 0x004 0x040 0x040 0x041\r\n"
                                         " 06 0x003 0x040 0x040 0x041\r\n"
                                         " 06 0x002 0x040 0x040 0x041");
}

TEST(HistoryText, IndexOutsideTheImageHasNoHistory) {
    CodeHistory history;
    Chip chip;
    chip.Read(history);
    chip.Read(history);
    EXPECT_EQ(HistoryText(history, 512), "");
    EXPECT_EQ(HistoryText(history, -1), "");
}

// Reads across loads of the placed program's names (emuaps.d), as F5 reads:
// each earlier version of instruction 8, 00 0x100 0x101 0x102 R, is named as
// its own load named it, and the reads of one load share its names.
TEST(HistoryText, EachEarlierVersionKeepsTheNamesOfItsOwnLoad) {
    const struct {
        const char* names; // a new load's; null: the load of the read before
        int32_t r;
        const char* shown;
    } reads[] = {
        {"mono 0x100\nfbk 0x102", 0x103, " 00 mono 0x101 fbk 0x103"},
        {nullptr, 0x104, " 00 mono 0x101 fbk 0x104"},
        {"fl 0x100\nfbk 0x104", 0x104, " 00 fl 0x101 0x102 fbk"}, // mono gone, fl new, fbk moved
        {"", 0x103, " 00 0x100 0x101 0x102 0x103"},
        {nullptr, 0x103, ""}, // shown by no later read
    };
    TempDir folder;
    std::string file, expected;
    CodeHistory history;
    for (const auto& read : reads) {
        if (read.names)
            file = folder.write("emuaps.d", std::string("[VIRTUAL]\n") + read.names + "\n");
        const ProgramNames before = history.currentContext();
        RefreshProgramSymbols(file);
        RefreshOrEnd(history, [&](MicrocodeInstruction* code) {
            code[8] = {0, 0x100, 0x101, 0x102, read.r};
            return 0;
        });
        std::string text = HistoryText(history, 8);
        std::erase(text, '\t'); // the names, not the layout
        EXPECT_EQ(text, expected);
        EXPECT_EQ(history.currentContext() == before, !read.names) << text; // one load, one table
        expected = read.shown + std::string(expected.empty() ? "" : "\r\n") + expected;
    }
}

} // namespace
