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
class TankMemoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        chip[0] = Write(100);
        chip[1] = Read(148);
        chip[2] = Write(500);
        chip[3] = Read(600);
        chip[128] = Write(0);
        chip[129] = Read(1000);
    }
    void Analyse() {
        AnalyseTanks(tanks, [this](int32_t first, int32_t count, int32_t* values) -> int32_t {
            reads.emplace_back(first, count);
            if (fails)
                return 1;
            std::copy_n(chip.begin(), count, values);
            return 0;
        });
    }
    bool Changed(int32_t n, TankPool pool) const { return TankChanged(tanks, n, pool); }

    TramAddrImage chip{};
    bool fails = false;
    std::vector<std::pair<int32_t, int32_t>> reads;
    TankMemory tanks;
};

TEST_F(TankMemoryTest, OneReadOfAllAddressRegistersAndNothingChangedAtFirst) {
    Analyse();
    EXPECT_EQ(reads, (std::vector<std::pair<int32_t, int32_t>>{{0x300, 256}}));
    EXPECT_EQ(tanks.InternalTanks.size(), 2u);
    EXPECT_EQ(tanks.ExternalTanks.size(), 1u);
    EXPECT_TRUE(tanks.PrevInternalTanks.empty() && tanks.PrevExternalTanks.empty());
    for (int32_t n = 0; n < 3; ++n)
        EXPECT_FALSE(Changed(n, TankPool::Internal) || Changed(n, TankPool::External)) << n;
}

TEST_F(TankMemoryTest, OnlyAMovedFirstReadPointCountsAsChange) {
    Analyse();
    chip[0] = Write(90) | kTramAlignBit; // write address and flags of tank 0
    chip[5] = Read(700);                 // a second read point of tank 1
    chip[3] = Read(610) | kTramAlignBit; // the first read point of tank 1 moves
    Analyse();
    EXPECT_FALSE(Changed(0, TankPool::Internal));
    EXPECT_TRUE(Changed(1, TankPool::Internal));
    EXPECT_FALSE(Changed(0, TankPool::External));

    chip[129] = Read(1200);
    Analyse(); // the mark lasts one analysis; the pools are compared apart
    EXPECT_FALSE(Changed(1, TankPool::Internal));
    EXPECT_TRUE(Changed(0, TankPool::External));
}

TEST_F(TankMemoryTest, TanksArePairedByNumber) {
    Analyse();
    chip[0] = 0; // tank 0 goes; tank 1 becomes tank 0
    Analyse();
    ASSERT_EQ(tanks.InternalTanks.size(), 1u);
    EXPECT_EQ(tanks.PrevInternalTanks.size(), 2u);
    EXPECT_TRUE(Changed(0, TankPool::Internal)); // 600 against the former 148

    chip[10] = Write(2000);
    chip[11] = Write(3000);
    Analyse(); // three tanks against one before
    EXPECT_FALSE(Changed(0, TankPool::Internal));
    EXPECT_FALSE(Changed(1, TankPool::Internal));
    EXPECT_FALSE(Changed(2, TankPool::Internal));
    EXPECT_FALSE(Changed(-1, TankPool::Internal));
}

TEST_F(TankMemoryTest, AFailedReadRepeatsTheLastResult) {
    fails = true;
    Analyse(); // before any good read the image is all zero
    EXPECT_TRUE(tanks.InternalTanks.empty() && tanks.ExternalTanks.empty());

    fails = false;
    Analyse();
    const TankList before = tanks.InternalTanks;
    chip[1] = Read(300);
    fails = true;
    Analyse();
    EXPECT_EQ(tanks.InternalTanks, before);
    EXPECT_EQ(tanks.PrevInternalTanks, before);
    EXPECT_FALSE(Changed(0, TankPool::Internal));
}

} // namespace
