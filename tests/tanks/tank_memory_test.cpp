#include "tank_memory.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr int32_t Write(int32_t addr) {
    return kTramWriteBit | addr;
}
constexpr int32_t Read(int32_t addr) {
    return kTramReadBit | addr;
}

// A chip whose TRAM address registers the test sets; it records each read.
struct FakeChip {
    TramAddrImage registers{};
    bool fails = false;
    std::vector<std::pair<int32_t, int32_t>> reads;

    TramReader reader() {
        return [this](int32_t first, int32_t count, int32_t* values) -> int32_t {
            reads.emplace_back(first, count);
            if (fails)
                return 1;
            std::copy_n(registers.begin(), count, values);
            return 0;
        };
    }
};

class TankMemoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        chip.registers[0] = Write(100);
        chip.registers[1] = Read(148);
        chip.registers[2] = Write(500);
        chip.registers[3] = Read(600);
        chip.registers[128] = Write(0);
        chip.registers[129] = Read(1000);
    }
    void Analyse() { AnalyseTanks(tanks, chip.reader()); }

    FakeChip chip;
    TankMemory tanks;
};

TEST_F(TankMemoryTest, ReadsAllAddressRegistersAndFillsBothPools) {
    Analyse();
    ASSERT_EQ(chip.reads.size(), 1u);
    EXPECT_EQ(chip.reads[0], std::make_pair(0x300, 256));
    EXPECT_EQ(tanks.InternalTanks.size(), 2u);
    ASSERT_EQ(tanks.ExternalTanks.size(), 1u);
    EXPECT_EQ(tanks.ExternalTanks[0].WriteReg, 128);
    EXPECT_TRUE(tanks.PrevInternalTanks.empty());
    EXPECT_TRUE(tanks.PrevExternalTanks.empty());
}

TEST_F(TankMemoryTest, NothingChangedAfterTheFirstAnalysis) {
    Analyse();
    for (int32_t n = 0; n < 3; ++n) {
        EXPECT_FALSE(TankChanged(tanks, n, TankPool::Internal));
        EXPECT_FALSE(TankChanged(tanks, n, TankPool::External));
    }
}

TEST_F(TankMemoryTest, OnlyAMovedFirstReadPointCountsAsChange) {
    Analyse();
    chip.registers[0] = Write(90) | kTramAlignBit; // write address and flags
    chip.registers[5] = Read(700);                 // a second read point of tank 1
    chip.registers[3] = Read(610) | kTramAlignBit; // first read point of tank 1 moves
    Analyse();
    EXPECT_FALSE(TankChanged(tanks, 0, TankPool::Internal));
    EXPECT_TRUE(TankChanged(tanks, 1, TankPool::Internal));
    EXPECT_FALSE(TankChanged(tanks, 0, TankPool::External));

    Analyse(); // an update without changes clears the mark
    EXPECT_FALSE(TankChanged(tanks, 1, TankPool::Internal));
}

TEST_F(TankMemoryTest, PoolsAreComparedSeparately) {
    Analyse();
    chip.registers[129] = Read(1200);
    Analyse();
    EXPECT_TRUE(TankChanged(tanks, 0, TankPool::External));
    EXPECT_FALSE(TankChanged(tanks, 0, TankPool::Internal));
}

TEST_F(TankMemoryTest, TanksArePairedByNumber) {
    Analyse();
    chip.registers[0] = 0; // tank 0 goes; tank 1 becomes tank 0
    Analyse();
    ASSERT_EQ(tanks.InternalTanks.size(), 1u);
    EXPECT_EQ(tanks.PrevInternalTanks.size(), 2u);
    EXPECT_TRUE(TankChanged(tanks, 0, TankPool::Internal)); // 600 against the old 148
    EXPECT_FALSE(TankChanged(tanks, 1, TankPool::Internal));

    chip.registers[10] = Write(2000);
    chip.registers[11] = Write(3000);
    Analyse(); // three tanks against one before
    EXPECT_FALSE(TankChanged(tanks, 0, TankPool::Internal));
    EXPECT_FALSE(TankChanged(tanks, 1, TankPool::Internal)); // no tank 1 before
    EXPECT_FALSE(TankChanged(tanks, 2, TankPool::Internal));
    EXPECT_FALSE(TankChanged(tanks, -1, TankPool::Internal));
}

TEST_F(TankMemoryTest, AFailedReadRepeatsTheLastResult) {
    Analyse();
    const TankList before = tanks.InternalTanks;
    chip.registers[1] = Read(300);
    chip.fails = true;
    Analyse();
    EXPECT_EQ(tanks.InternalTanks, before);
    EXPECT_EQ(tanks.PrevInternalTanks, before);
    EXPECT_FALSE(TankChanged(tanks, 0, TankPool::Internal));
}

TEST(TankMemory, FailedReadBeforeAnySuccessGivesNoTanks) {
    TankMemory tanks;
    AnalyseTanks(tanks, [](int32_t, int32_t, int32_t*) { return 1; });
    EXPECT_TRUE(tanks.InternalTanks.empty());
    EXPECT_TRUE(tanks.ExternalTanks.empty());
}

} // namespace
