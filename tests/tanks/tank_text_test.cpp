#include "tank_text.h"

#include <gtest/gtest.h>

namespace {

TankRecord Tank(int32_t writeReg, int32_t writeAddr,
                std::vector<std::pair<int32_t, int32_t>> reads) {
    TankRecord t;
    t.WriteReg = writeReg;
    t.WriteAddr = writeAddr;
    for (auto [reg, addr] : reads) {
        t.ReadRegs[t.ReadCount] = reg;
        t.ReadAddrs[t.ReadCount] = addr;
        ++t.ReadCount;
    }
    return t;
}

TEST(FormatMs, RoundsHalvesAwayFromZeroOrCuts) {
    EXPECT_EQ(FormatMs(12, MsStyle::Tenths), "0.3"); // 0.25
    EXPECT_EQ(FormatMs(36, MsStyle::Tenths), "0.8"); // 0.75
    EXPECT_EQ(FormatMs(11, MsStyle::Tenths), "0.2"); // 0.229
    EXPECT_EQ(FormatMs(2, MsStyle::Tenths), "0.0");
    EXPECT_EQ(FormatMs(48, MsStyle::Tenths), "1.0");
    EXPECT_EQ(FormatMs(480 * 48 + 47, MsStyle::Tenths), "481.0");
    EXPECT_EQ(FormatMs(0xFFFFF, MsStyle::Tenths), "21845.3");

    EXPECT_EQ(FormatMs(1000, MsStyle::Whole), "21"); // 20.83
    EXPECT_EQ(FormatMs(1000, MsStyle::WholeTruncated), "20");
    EXPECT_EQ(FormatMs(24, MsStyle::Whole), "1"); // 0.5
    EXPECT_EQ(FormatMs(23, MsStyle::Whole), "0");
    EXPECT_EQ(FormatMs(47, MsStyle::WholeTruncated), "0");
    EXPECT_EQ(FormatMs(-24, MsStyle::Whole), "-1");
    EXPECT_EQ(FormatMs(-12, MsStyle::Tenths), "-0.3");
}

TEST(TankKeys, RoundTripAndRejectNonTankKeys) {
    EXPECT_EQ(TankKey(TankPool::Internal, 0), "i0");
    EXPECT_EQ(TankKey(TankPool::External, 31), "e31");
    const auto ref = ParseTankKey("e31");
    ASSERT_TRUE(ref);
    EXPECT_EQ(ref->pool, TankPool::External);
    EXPECT_EQ(ref->number, 31);
    EXPECT_EQ(ParseTankKey("i127")->pool, TankPool::Internal);
    for (const char* key : {"root", "chip", "host", "", "i", "e-1", "i1x", "x1", "i99999999999"})
        EXPECT_FALSE(ParseTankKey(key)) << key;
}

TEST(TankLabel, InternalTenthsExternalCutAndEmptyTanks) {
    EXPECT_EQ(TankLabel(TankPool::Internal, 0, Tank(0, 100, {{1, 112}})), "itank0 (0.3ms)");
    EXPECT_EQ(TankLabel(TankPool::Internal, 0, Tank(0, 100, {{1, 148}})), "itank0 (1.0ms)");
    EXPECT_EQ(TankLabel(TankPool::External, 0, Tank(128, 0, {{129, 1000}})), "etank0 (20ms)");
    EXPECT_EQ(TankLabel(TankPool::Internal, 2, Tank(4, 100, {})), "itank2(?)");
    EXPECT_EQ(TankLabel(TankPool::External, 0, Tank(128, 100, {})), "etank0(?)");
    // The label uses the first read point by register order, not the nearest.
    EXPECT_EQ(TankLabel(TankPool::Internal, 1, Tank(0, 0, {{4, 480}, {5, 48}})), "itank1 (10.0ms)");
}

TEST(TankInfoValues, WritePointRowsAndRegisterNumbers) {
    const TankInfo internal = TankInfoValues(Tank(5, 100, {}), TankPool::Internal);
    EXPECT_EQ(internal[0], "Internal");
    EXPECT_EQ(internal[1], "0x205");
    EXPECT_EQ(internal[2], "0");
    EXPECT_EQ(internal[6], "0x00064");
    EXPECT_EQ(internal[7], "");
    for (int row : {3, 4, 5, 8, 9})
        EXPECT_EQ(internal[row], "") << row;

    TankRecord external = Tank(130, 0xFFFFF, {});
    external.WriteFlags = kTramWriteBit | kTramAlignBit;
    const TankInfo values = TankInfoValues(external, TankPool::External);
    EXPECT_EQ(values[0], "External");
    EXPECT_EQ(values[1], "0x282");
    EXPECT_EQ(values[6], "0xFFFFF");
    EXPECT_EQ(values[7], "align");
}

TEST(TankInfoValues, ReadPointRowsListEveryPointInRecordOrder) {
    const TankRecord tank = Tank(0, 100, {{1, 148}, {3, 196}});
    const TankInfo internal = TankInfoValues(tank, TankPool::Internal);
    EXPECT_EQ(internal[2], "2");
    EXPECT_EQ(internal[3], "0x201 0x203");
    EXPECT_EQ(internal[4], "48 96");
    EXPECT_EQ(internal[5], "1.0 2.0");
    EXPECT_EQ(internal[8], "0x00094 0x000C4");
    EXPECT_EQ(internal[9], " ");

    EXPECT_EQ(TankInfoValues(tank, TankPool::External)[5], "1 2");
    EXPECT_EQ(TankInfoValues(Tank(128, 0, {{129, 1000}}), TankPool::External)[5], "21");
}

TEST(TankInfoValues, EmptyAlignEntriesKeepTheirBlank) {
    TankRecord tank = Tank(0, 0, {{1, 10}, {2, 20}, {3, 30}});
    tank.ReadFlags = {kTramReadBit | kTramAlignBit, kTramReadBit, kTramReadBit | kTramAlignBit};
    EXPECT_EQ(TankInfoValues(tank, TankPool::Internal)[9], "align  align");
}

TEST(TankInfoValues, OverfullTankSaysSo) {
    TankRecord tank = Tank(0, 0, {});
    for (int k = 0; k < 32; ++k) {
        tank.ReadRegs[k] = k + 1;
        tank.ReadAddrs[k] = k + 1;
    }
    tank.ReadCount = 32;
    tank.DroppedReads = 4;
    const TankInfo values = TankInfoValues(tank, TankPool::Internal);
    EXPECT_EQ(values[2].rfind("32 ", 0), 0u);
    EXPECT_NE(values[2].find("overfull"), std::string::npos);
    EXPECT_NE(values[2].find('4'), std::string::npos);
    EXPECT_EQ(values[3].substr(values[3].size() - 5), "0x220");
}

} // namespace
