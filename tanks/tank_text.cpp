#include "tank_text.h"

#include "find_tanks.h"
#include "hex_pad.h"

#include <charconv>
#include <cstdlib>

std::string FormatMs(int32_t samples, MsStyle style) {
    const int64_t magnitude = std::llabs(int64_t{samples});
    const char* sign = samples < 0 ? "-" : "";
    switch (style) {
    case MsStyle::Tenths: {
        // Tenths of a millisecond, rounded half away from zero in integers so
        // that 12 samples give exactly 0.3.
        const int64_t tenths = (magnitude * 20 + kSamplesPerMs) / (2 * kSamplesPerMs);
        if (tenths == 0)
            sign = "";
        return sign + std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
    }
    case MsStyle::Whole: {
        const int64_t whole = (magnitude * 2 + kSamplesPerMs) / (2 * kSamplesPerMs);
        return (whole == 0 ? "" : sign) + std::to_string(whole);
    }
    case MsStyle::WholeTruncated: {
        const int64_t whole = magnitude / kSamplesPerMs;
        return (whole == 0 ? "" : sign) + std::to_string(whole);
    }
    }
    return {};
}

std::string TankKey(TankPool pool, int32_t number) {
    return (pool == TankPool::Internal ? "i" : "e") + std::to_string(number);
}

std::optional<TankRef> ParseTankKey(const std::string& key) {
    if (key.size() < 2 || (key[0] != 'i' && key[0] != 'e'))
        return std::nullopt;
    int32_t number = 0;
    const char* begin = key.data() + 1;
    const char* end = key.data() + key.size();
    const auto [ptr, ec] = std::from_chars(begin, end, number);
    if (ec != std::errc() || ptr != end || number < 0)
        return std::nullopt;
    return TankRef{key[0] == 'i' ? TankPool::Internal : TankPool::External, number};
}

std::string TankLabel(TankPool pool, int32_t number, const TankRecord& tank) {
    const bool internal = pool == TankPool::Internal;
    std::string label = (internal ? "itank" : "etank") + std::to_string(number);
    if (tank.ReadCount <= 0)
        return label + "(?)";
    const int32_t size = tank.ReadAddrs[0] - tank.WriteAddr;
    return label + " (" + FormatMs(size, internal ? MsStyle::Tenths : MsStyle::WholeTruncated) +
           "ms)";
}

const TankInfo& TankInfoCaptions() {
    static const TankInfo captions = {
        "Type",       "Write Register", "Read Points", "Read Register(s)", "Size in samples",
        "Size in ms", "Write Address",  "Write Flags", "Read Address(es)", "Read Flags",
    };
    return captions;
}

namespace {

std::string DataRegister(int32_t index) {
    return "0x" + HexPad(index + 0x200, 3);
}
std::string Address(int32_t addr) {
    return "0x" + HexPad(addr, 5);
}
std::string Align(int32_t flags) {
    return (flags & kTramAlignBit) ? "align" : "";
}

// One entry per read point, separated by single blanks; empty entries keep their blank.
void AppendEntry(std::string& row, int32_t k, const std::string& entry) {
    if (k > 0)
        row += ' ';
    row += entry;
}

} // namespace

TankInfo TankInfoValues(const TankRecord& tank, TankPool pool) {
    const bool internal = pool == TankPool::Internal;
    TankInfo values;
    values[0] = internal ? "Internal" : "External";
    values[1] = DataRegister(tank.WriteReg);
    values[2] = std::to_string(tank.ReadCount);
    if (tank.DroppedReads > 0)
        values[2] += " (overfull, " + std::to_string(tank.DroppedReads) + " more not listed)";
    values[6] = Address(tank.WriteAddr);
    values[7] = Align(tank.WriteFlags);

    const std::vector<int32_t> sizes = ReadPointSizes(tank);
    const MsStyle ms = internal ? MsStyle::Tenths : MsStyle::Whole;
    for (int32_t k = 0; k < static_cast<int32_t>(sizes.size()); ++k) {
        AppendEntry(values[3], k, DataRegister(tank.ReadRegs[k]));
        AppendEntry(values[4], k, std::to_string(sizes[k]));
        AppendEntry(values[5], k, FormatMs(sizes[k], ms));
        AppendEntry(values[8], k, Address(tank.ReadAddrs[k]));
        AppendEntry(values[9], k, Align(tank.ReadFlags[k]));
    }
    return values;
}
