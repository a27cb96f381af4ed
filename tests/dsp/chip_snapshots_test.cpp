// Ageing of the snapshot history, driven by a stand-in for the library read.
#include "chip_snapshots.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Each read fills the whole image with the read's sequence number.
struct CountingChip {
    int reads = 0;
    int32_t operator()(int32_t* values) {
        ++reads;
        std::fill(values, values + GprHistory::kSize, reads);
        return 0;
    }
};

bool ImageIs(const std::vector<int32_t>& image, int32_t value) {
    return image.size() == GprHistory::kSize &&
           std::all_of(image.begin(), image.end(), [=](int32_t v) { return v == value; });
}

TEST(SnapshotHistory, StartsZeroedInvalidAndWithoutEarlierImages) {
    GprHistory history;
    EXPECT_FALSE(history.valid());
    EXPECT_TRUE(ImageIs(history.current(), 0));
    for (int k = 1; k <= 4; ++k)
        EXPECT_TRUE(history.previous(k).empty());
}

TEST(SnapshotHistory, EachReadAgesTheImagesByOneStep) {
    GprHistory history;
    CountingChip chip;

    RefreshOrEnd(history, std::ref(chip));
    EXPECT_TRUE(history.valid());
    EXPECT_TRUE(ImageIs(history.current(), 1));
    for (int k = 1; k <= 4; ++k)
        EXPECT_TRUE(history.previous(k).empty()) << "after one read, previous " << k;

    RefreshOrEnd(history, std::ref(chip));
    EXPECT_TRUE(ImageIs(history.previous(1), 1));
    EXPECT_TRUE(history.previous(2).empty());

    for (int i = 0; i < 3; ++i)
        RefreshOrEnd(history, std::ref(chip));
    // Fifth read: all four earlier images, newest first.
    EXPECT_TRUE(ImageIs(history.current(), 5));
    for (int k = 1; k <= 4; ++k)
        EXPECT_TRUE(ImageIs(history.previous(k), 5 - k)) << "previous " << k;

    RefreshOrEnd(history, std::ref(chip));
    // Sixth read: the first image is gone.
    EXPECT_TRUE(ImageIs(history.current(), 6));
    for (int k = 1; k <= 4; ++k)
        EXPECT_TRUE(ImageIs(history.previous(k), 6 - k)) << "previous " << k;
}

TEST(SnapshotHistory, UnchangedReadStillAgesAndLeavesIndependentCopies) {
    CodeHistory history;
    const auto sameProgram = [](MicrocodeInstruction* code) {
        std::fill(code, code + CodeHistory::kSize, MicrocodeInstruction{6, 0x40, 0x40, 0x40, 0x40});
        return 0;
    };
    RefreshOrEnd(history, sameProgram);
    RefreshOrEnd(history, sameProgram);
    ASSERT_EQ(history.previous(1).size(), CodeHistory::kSize);
    for (std::size_t i = 0; i < CodeHistory::kSize; ++i)
        ASSERT_EQ(InstructionDiffers(history.current()[i], history.previous(1)[i]), 0);

    // A later read that changes one instruction leaves the earlier image alone.
    RefreshOrEnd(history, [](MicrocodeInstruction* code) {
        code[7].R = 0x100;
        return 0;
    });
    EXPECT_EQ(history.current()[7].R, 0x100);
    EXPECT_EQ(history.previous(1)[7].R, 0x40);
    EXPECT_EQ(history.previous(2)[7].R, 0x40);
}

TEST(SnapshotHistoryDeathTest, FailedReadEndsTheProgramAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            GprHistory history;
            RefreshOrEnd(history, [](int32_t*) { return 1; });
            std::fprintf(stderr, "still running\n");
        },
        ::testing::ExitedWithCode(kSnapshotReadFailed),
        "^velmora: the driver service was lost; the chip cannot be read\n$");
}

TEST(InstructionDiffers, AnySingleFieldMakesADifference) {
    const MicrocodeInstruction base{6, 0x40, 0x41, 0x42, 0x43};
    EXPECT_EQ(InstructionDiffers(base, base), 0);
    for (int field = 0; field < 5; ++field) {
        MicrocodeInstruction other = base;
        int32_t* fields[] = {&other.Opcode, &other.A, &other.X, &other.Y, &other.R};
        *fields[field] += 1;
        EXPECT_EQ(InstructionDiffers(base, other), 1) << "field " << field;
        EXPECT_EQ(InstructionDiffers(other, base), 1) << "field " << field;
    }
}

} // namespace
