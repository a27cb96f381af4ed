#include "tank_text.h"

#include "find_tanks.h"
#include "hex_pad.h"

#include <charconv>
#include <cstdlib>

std::string FormatMs(int32_t samples, MsStyle style) {
    const int64_t magnitude = std::llabs(int64_t{samples});
    int64_t units = 0; // of the last digit shown
    switch (style) {
    case MsStyle::Tenths:
        // Rounded half away from zero in integers, so that 12 samples give exactly 0.3.
        units = (magnitude * 20 + kSamplesPerMs) / (2 * kSamplesPerMs);
        break;
    case MsStyle::Whole:
        units = (magnitude * 2 + kSamplesPerMs) / (2 * kSamplesPerMs);
        break;
    case MsStyle::WholeTruncated:
        units = magnitude / kSamplesPerMs;
        break;
    }
    std::string text;
    if (samples < 0 && units != 0)
        text += '-';
    if (style == MsStyle::Tenths) {
        text += std::to_string(units / 10);
        text += '.';
        text += std::to_string(units % 10);
    } else {
        text += std::to_string(units);
    }
    return text;
}

std::string TankKey(TankPool pool, int32_t number) {
    std::string key(1, pool == TankPool::Internal ? 'i' : 'e');
    key += std::to_string(number);
    return key;
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
    std::string label(internal ? "itank" : "etank");
    label += std::to_string(number);
    if (tank.ReadCount <= 0) {
        label += "(?)";
        return label;
    }
    const int32_t size = tank.ReadAddrs[0] - tank.WriteAddr;
    label += " (";
    label += FormatMs(size, internal ? MsStyle::Tenths : MsStyle::WholeTruncated);
    label += "ms)";
    return label;
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
