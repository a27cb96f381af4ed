#include "find_tanks.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <sstream>
#include <utility>

namespace {

constexpr int32_t Write(int32_t addr) {
    return kTramWriteBit | addr;
}
constexpr int32_t Read(int32_t addr) {
    return kTramReadBit | addr;
}

TramAddrImage Image(std::initializer_list<std::pair<int, int32_t>> registers) {
    TramAddrImage image{};
    for (auto [index, value] : registers)
        image[index] = value;
    return image;
}

// "writeReg@writeAddr[readReg@readAddr ...]" for each tank, separated by blanks.
std::string Describe(const TramAddrImage& image, int32_t first, int32_t count) {
    TankList list;
    FindTanks(image, first, count, list);
    std::ostringstream text;
    for (const TankRecord& t : list) {
        text << (&t == list.data() ? "" : " ") << t.WriteReg << '@' << t.WriteAddr << '[';
        for (int k = 0; k < t.ReadCount; ++k)
            text << (k ? " " : "") << t.ReadRegs[k] << '@' << t.ReadAddrs[k];
        text << ']';
    }
    return text.str();
}
std::string Internal(const TramAddrImage& image) {
    return Describe(image, 0, 128);
}
std::string External(const TramAddrImage& image) {
    return Describe(image, 128, 32);
}

TEST(FindTanks, NoWritePointGivesNoTanks) {
    const auto image = Image({{0, Read(100)}, {1, kTramAlignBit | 200}, {130, Read(5)}});
    EXPECT_EQ(Internal(image), "");
    EXPECT_EQ(External(image), "");
}

TEST(FindTanks, ReadPointsFallIntoTheWindowUpToTheNextWriteAddress) {
    EXPECT_EQ(Internal(Image({{0, 0x00200064}, {1, 0x00100094}, {2, 0x002001F4}, {3, 0x005003E8}})),
              "0@100[1@148] 2@500[3@1000]");
    // Below the lowest write address, exactly on a write address, just below the
    // next one; the highest tank takes everything above it.
    EXPECT_EQ(Internal(Image({{0, Write(100)},
                              {1, Write(200)},
                              {2, Read(50)},
                              {3, Read(100)},
                              {4, Read(200)},
                              {5, Read(199)},
                              {6, Read(5000)},
                              {7, Read(0xFFFFF)}})),
              "0@100[5@199] 1@200[6@5000 7@1048575]");
    EXPECT_EQ(Internal(Image({{0, Write(100)}, {1, Write(200)}, {2, Read(250)}})),
              "0@100[] 1@200[2@250]");
}

TEST(FindTanks, OrderIsByRegisterIndexNotByAddress) {
    EXPECT_EQ(Internal(Image({{0, Write(100)}, {4, Read(300)}, {5, Read(200)}})),
              "0@100[4@300 5@200]");
    EXPECT_EQ(Internal(Image({{2, Write(900)}, {6, Write(100)}, {3, Read(950)}, {1, Read(150)}})),
              "2@900[3@950] 6@100[1@150]");
}

TEST(FindTanks, BothBitsOpenATankThatReadsNowhereAndEqualWritesGiveTwins) {
    EXPECT_EQ(Internal(Image({{0, Write(100)},
                              {1, kTramReadBit | kTramWriteBit | 200},
                              {2, Read(150)},
                              {3, Read(250)}})),
              "0@100[2@150] 1@200[3@250]");
    EXPECT_EQ(Internal(Image({{0, Write(100)}, {1, Write(100)}, {2, Read(130)}, {3, Read(160)}})),
              "0@100[2@130 3@160] 1@100[2@130 3@160]");
}

TEST(FindTanks, PoolsNeverMixAndUpperRegistersAreIgnored) {
    // An external read inside the internal window and an external write that
    // would cut it; registers 160 and up are not TRAM of either pool.
    auto image = Image(
        {{0, Write(100)}, {1, Read(300)}, {128, Read(150)}, {129, Write(200)}, {159, Read(250)}});
    for (int i = 160; i < 256; ++i)
        image[i] = (i % 2 ? kTramWriteBit : kTramReadBit) | (i * 3);
    EXPECT_EQ(Internal(image), "0@100[1@300]");
    EXPECT_EQ(External(image), "129@200[159@250]");
}

TEST(FindTanks, FlagsKeepTheWholeUpperWordAndUnusedEntriesStayZero) {
    const auto image = Image(
        {{7, static_cast<int32_t>(0xFF6ABCDEu)}, {9, static_cast<int32_t>(0x80100000u) | 0xABCDF}});
    TankList tanks;
    FindTanks(image, 0, 128, tanks);
    ASSERT_EQ(tanks.size(), 1u);
    EXPECT_EQ(tanks[0].WriteAddr, 0xABCDE);
    EXPECT_EQ(tanks[0].WriteFlags, static_cast<int32_t>(0xFF600000u));
    ASSERT_EQ(tanks[0].ReadCount, 1);
    EXPECT_EQ(tanks[0].ReadFlags[0], static_cast<int32_t>(0x80100000u));
    EXPECT_EQ(tanks[0].ReadRegs[1], 0);
    EXPECT_EQ(tanks[0].ReadAddrs[31], 0);
}

TEST(FindTanks, OverfullTankKeepsTheFirst32ReadPointsAndCountsTheRest) {
    TramAddrImage image{};
    image[0] = Write(10);
    for (int r = 1; r <= 35; ++r)
        image[r] = Read(1000 - r);
    TankList tanks;
    FindTanks(image, 0, 128, tanks);
    ASSERT_EQ(tanks.size(), 1u);
    EXPECT_EQ(tanks[0].ReadCount, 32);
    EXPECT_EQ(tanks[0].DroppedReads, 3);
    EXPECT_EQ(tanks[0].ReadRegs[31], 32);
    EXPECT_EQ(tanks[0].ReadAddrs[31], 968);
}

TEST(FindTanks, ListIsRebuiltAndRangesOutsideTheImageAreCut) {
    const auto image = Image({{250, Write(1)}, {255, Read(2)}});
    EXPECT_EQ(Describe(image, 250, 100), "250@1[255@2]");
    TankList list(3);
    FindTanks(image, -10, 5, list);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(Describe(image, 250, -1), "");
}

TEST(ReadPointSizes, DistanceOfEachReadPointFromTheWritePoint) {
    TankRecord tank;
    tank.WriteAddr = 100;
    tank.ReadCount = 2;
    tank.ReadAddrs[0] = 148;
    tank.ReadAddrs[1] = 196;
    EXPECT_EQ(ReadPointSizes(tank), (std::vector<int32_t>{48, 96}));
    tank.ReadCount = 0;
    EXPECT_TRUE(ReadPointSizes(tank).empty());
    tank.ReadCount = 99; // a damaged record never reads past the arrays
    EXPECT_EQ(ReadPointSizes(tank).size(), 32u);
}

} // namespace
