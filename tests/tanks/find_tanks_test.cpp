#include "find_tanks.h"

#include <gtest/gtest.h>

namespace {

constexpr int32_t Write(int32_t addr) {
    return kTramWriteBit | addr;
}
constexpr int32_t Read(int32_t addr) {
    return kTramReadBit | addr;
}

TankList Internal(const TramAddrImage& image) {
    TankList list;
    FindTanks(image, 0, 128, list);
    return list;
}

TankList External(const TramAddrImage& image) {
    TankList list;
    FindTanks(image, 128, 32, list);
    return list;
}

std::vector<int32_t> Regs(const TankRecord& t) {
    return {t.ReadRegs.begin(), t.ReadRegs.begin() + t.ReadCount};
}
std::vector<int32_t> Addrs(const TankRecord& t) {
    return {t.ReadAddrs.begin(), t.ReadAddrs.begin() + t.ReadCount};
}

TEST(FindTanks, NoWritePointGivesNoTanks) {
    TramAddrImage image{};
    image[0] = Read(100);
    image[1] = kTramAlignBit | 200;
    image[130] = Read(5);
    EXPECT_TRUE(Internal(image).empty());
    EXPECT_TRUE(External(image).empty());
}

TEST(FindTanks, TwoTanksWithTheirReadPointsAndFlags) {
    TramAddrImage image{};
    image[0] = 0x00200064;
    image[1] = 0x00100094;
    image[2] = 0x002001F4;
    image[3] = 0x005003E8;
    const TankList tanks = Internal(image);
    ASSERT_EQ(tanks.size(), 2u);

    EXPECT_EQ(tanks[0].WriteReg, 0);
    EXPECT_EQ(tanks[0].WriteAddr, 100);
    EXPECT_EQ(tanks[0].WriteFlags, 0x00200000);
    EXPECT_EQ(Regs(tanks[0]), std::vector<int32_t>{1});
    EXPECT_EQ(Addrs(tanks[0]), std::vector<int32_t>{148});
    EXPECT_EQ(tanks[0].ReadFlags[0], 0x00100000);

    EXPECT_EQ(tanks[1].WriteReg, 2);
    EXPECT_EQ(tanks[1].WriteAddr, 500);
    EXPECT_EQ(Regs(tanks[1]), std::vector<int32_t>{3});
    EXPECT_EQ(Addrs(tanks[1]), std::vector<int32_t>{1000});
    EXPECT_EQ(tanks[1].ReadFlags[0], 0x00500000);
    EXPECT_EQ(ReadPointSizes(tanks[1]), std::vector<int32_t>{500});
}

TEST(FindTanks, FlagsKeepTheWholeUpperWordAndUnusedEntriesStayZero) {
    TramAddrImage image{};
    image[7] = static_cast<int32_t>(0xFF6ABCDEu);
    image[9] = static_cast<int32_t>(0x80100000u) | 0xABCDF;
    const TankList tanks = Internal(image);
    ASSERT_EQ(tanks.size(), 1u);
    EXPECT_EQ(tanks[0].WriteAddr, 0xABCDE);
    EXPECT_EQ(tanks[0].WriteFlags, static_cast<int32_t>(0xFF600000u));
    ASSERT_EQ(tanks[0].ReadCount, 1);
    EXPECT_EQ(tanks[0].ReadFlags[0], static_cast<int32_t>(0x80100000u));
    EXPECT_EQ(tanks[0].ReadRegs[1], 0);
    EXPECT_EQ(tanks[0].ReadAddrs[31], 0);
}

TEST(FindTanks, WritePointWithEmptyWindowHasNoReadPoints) {
    TramAddrImage image{};
    image[0] = Write(100);
    image[1] = Write(200);
    image[2] = Read(250);
    const TankList tanks = Internal(image);
    ASSERT_EQ(tanks.size(), 2u);
    EXPECT_EQ(tanks[0].ReadCount, 0);
    EXPECT_TRUE(ReadPointSizes(tanks[0]).empty());
    EXPECT_EQ(tanks[1].ReadCount, 1);
}

TEST(FindTanks, ReadPointsKeepRegisterOrderNotAddressOrder) {
    TramAddrImage image{};
    image[0] = Write(100);
    image[4] = Read(300);
    image[5] = Read(200);
    const TankList tanks = Internal(image);
    ASSERT_EQ(tanks.size(), 1u);
    EXPECT_EQ(Regs(tanks[0]), (std::vector<int32_t>{4, 5}));
    EXPECT_EQ(Addrs(tanks[0]), (std::vector<int32_t>{300, 200}));
    EXPECT_EQ(ReadPointSizes(tanks[0]), (std::vector<int32_t>{200, 100}));
}

TEST(FindTanks, TanksAreNumberedByWriteRegisterNotByAddress) {
    TramAddrImage image{};
    image[2] = Write(900);
    image[6] = Write(100);
    image[3] = Read(950);
    image[1] = Read(150);
    const TankList tanks = Internal(image);
    ASSERT_EQ(tanks.size(), 2u);
    EXPECT_EQ(tanks[0].WriteReg, 2);
    EXPECT_EQ(Regs(tanks[0]), std::vector<int32_t>{3});
    EXPECT_EQ(tanks[1].WriteReg, 6);
    EXPECT_EQ(Regs(tanks[1]), std::vector<int32_t>{1});
}

TEST(FindTanks, ReadPointsOnOrBelowWriteAddressesBelongNowhere) {
    TramAddrImage image{};
    image[0] = Write(100);
    image[1] = Write(200);
    image[2] = Read(50);  // below the lowest write address
    image[3] = Read(100); // exactly a write address
    image[4] = Read(200); // exactly the next write address
    image[5] = Read(199);
    image[6] = Read(5000); // the highest tank takes everything above it
    image[7] = Read(0xFFFFF);
    const TankList tanks = Internal(image);
    ASSERT_EQ(tanks.size(), 2u);
    EXPECT_EQ(Regs(tanks[0]), std::vector<int32_t>{5});
    EXPECT_EQ(Regs(tanks[1]), (std::vector<int32_t>{6, 7}));
}

TEST(FindTanks, RegisterWithBothBitsOpensATankButReadsNowhere) {
    TramAddrImage image{};
    image[0] = Write(100);
    image[1] = kTramReadBit | kTramWriteBit | 200;
    image[2] = Read(150);
    image[3] = Read(250);
    const TankList tanks = Internal(image);
    ASSERT_EQ(tanks.size(), 2u);
    EXPECT_EQ(Regs(tanks[0]), std::vector<int32_t>{2});
    EXPECT_EQ(tanks[1].WriteReg, 1);
    EXPECT_EQ(tanks[1].WriteFlags, kTramReadBit | kTramWriteBit);
    EXPECT_EQ(Regs(tanks[1]), std::vector<int32_t>{3});
}

TEST(FindTanks, EqualWriteAddressesGiveTwinTanks) {
    TramAddrImage image{};
    image[0] = Write(100);
    image[1] = Write(100);
    image[2] = Read(130);
    image[3] = Read(160);
    const TankList tanks = Internal(image);
    ASSERT_EQ(tanks.size(), 2u);
    EXPECT_EQ(Regs(tanks[0]), (std::vector<int32_t>{2, 3}));
    EXPECT_EQ(Regs(tanks[1]), (std::vector<int32_t>{2, 3}));
    EXPECT_EQ(tanks[1].WriteReg, 1);
}

TEST(FindTanks, PoolsNeverMixAndUpperRegistersAreIgnored) {
    TramAddrImage image{};
    image[0] = Write(100);
    image[1] = Read(300);
    image[128] = Read(150);  // external read inside the internal window
    image[129] = Write(200); // external write that would cut the internal window
    image[159] = Read(250);
    for (int i = 160; i < 256; ++i)
        image[i] = (i % 2 ? kTramWriteBit : kTramReadBit) | (i * 3);

    const TankList internal = Internal(image);
    ASSERT_EQ(internal.size(), 1u);
    EXPECT_EQ(Regs(internal[0]), std::vector<int32_t>{1});

    const TankList external = External(image);
    ASSERT_EQ(external.size(), 1u);
    EXPECT_EQ(external[0].WriteReg, 129);
    EXPECT_EQ(Regs(external[0]), std::vector<int32_t>{159});
}

TEST(FindTanks, OverfullTankKeepsTheFirst32ReadPointsAndCountsTheRest) {
    TramAddrImage image{};
    image[0] = Write(10);
    for (int r = 1; r <= 35; ++r)
        image[r] = Read(1000 - r);
    const TankList tanks = Internal(image);
    ASSERT_EQ(tanks.size(), 1u);
    EXPECT_EQ(tanks[0].ReadCount, 32);
    EXPECT_EQ(tanks[0].DroppedReads, 3);
    EXPECT_EQ(tanks[0].ReadRegs[31], 32);
    EXPECT_EQ(tanks[0].ReadAddrs[31], 968);
    EXPECT_EQ(ReadPointSizes(tanks[0]).size(), 32u);
}

TEST(FindTanks, ListIsRebuiltAndRangesOutsideTheImageAreCut) {
    TramAddrImage image{};
    image[250] = Write(1);
    image[255] = Read(2);
    TankList list(3);
    FindTanks(image, 250, 100, list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(Regs(list[0]), std::vector<int32_t>{255});

    FindTanks(image, -10, 5, list);
    EXPECT_TRUE(list.empty());
    FindTanks(image, 250, -1, list);
    EXPECT_TRUE(list.empty());
}

TEST(ReadPointSizes, DistanceOfEachReadPointFromTheWritePoint) {
    TankRecord tank;
    tank.WriteAddr = 100;
    tank.ReadCount = 2;
    tank.ReadAddrs[0] = 148;
    tank.ReadAddrs[1] = 196;
    EXPECT_EQ(ReadPointSizes(tank), (std::vector<int32_t>{48, 96}));

    tank.ReadCount = 99; // a damaged record never reads past the arrays
    EXPECT_EQ(ReadPointSizes(tank).size(), 32u);
}

} // namespace
