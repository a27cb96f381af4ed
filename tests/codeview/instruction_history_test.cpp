// The caret instruction's earlier versions, newest first.
#include "instruction_history.h"

#include <gtest/gtest.h>

#include <algorithm>

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

} // namespace
