#include "find_tanks.h"

#include <algorithm>

namespace {

// Above any 20-bit address, so a tank without a higher write point is open upwards.
constexpr int32_t kNoUpperBound = 0x4000000;

bool IsWritePoint(int32_t value) {
    return (value & kTramWriteBit) != 0;
}
bool IsReadPoint(int32_t value) {
    return (value & kTramReadBit) != 0;
}
int32_t AddressOf(int32_t value) {
    return value & kTramAddrMask;
}
int32_t FlagsOf(int32_t value) {
    return value & kTramFlagsMask;
}

} // namespace

void FindTanks(const TramAddrImage& image, int32_t first, int32_t count, TankList& list) {
    list.clear();
    const int64_t begin = std::max<int64_t>(first, 0);
    const int64_t end = std::min<int64_t>(int64_t{first} + std::max<int32_t>(count, 0),
                                          static_cast<int64_t>(image.size()));
    for (int64_t w = begin; w < end; ++w) {
        if (!IsWritePoint(image[w]))
            continue;
        const int32_t writeAddr = AddressOf(image[w]);

        int32_t next = kNoUpperBound;
        for (int64_t j = begin; j < end; ++j) {
            const int32_t addr = AddressOf(image[j]);
            if (IsWritePoint(image[j]) && writeAddr < addr && addr < next)
                next = addr;
        }

        TankRecord& tank = list.emplace_back();
        tank.WriteReg = static_cast<int32_t>(w);
        tank.WriteFlags = FlagsOf(image[w]);
        tank.WriteAddr = writeAddr;
        for (int64_t r = begin; r < end; ++r) {
            const int32_t addr = AddressOf(image[r]);
            if (!IsReadPoint(image[r]) || addr <= writeAddr || addr >= next)
                continue;
            if (tank.ReadCount == kMaxReadPoints) {
                ++tank.DroppedReads;
                continue;
            }
            const int32_t k = tank.ReadCount++;
            tank.ReadRegs[k] = static_cast<int32_t>(r);
            tank.ReadAddrs[k] = addr;
            tank.ReadFlags[k] = FlagsOf(image[r]);
        }
    }
}

std::vector<int32_t> ReadPointSizes(const TankRecord& tank) {
    const int32_t count = std::clamp(tank.ReadCount, 0, kMaxReadPoints);
    std::vector<int32_t> sizes(static_cast<std::size_t>(count));
    for (int32_t k = 0; k < count; ++k)
        sizes[k] = tank.ReadAddrs[k] - tank.WriteAddr;
    return sizes;
}
