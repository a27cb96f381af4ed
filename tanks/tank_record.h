// One delay line ("tank") of TRAM as the address registers describe it: a
// write point and the read points that fall into its window.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

enum class TankPool : int32_t { Internal = 0, External = 1 };

// Fields of a TRAM address register.
constexpr int32_t kTramAddrMask = 0x000FFFFF;
constexpr int32_t kTramReadBit = 0x00100000;
constexpr int32_t kTramWriteBit = 0x00200000;
constexpr int32_t kTramAlignBit = 0x00400000;
constexpr int32_t kTramFlagsMask = static_cast<int32_t>(0xFFF00000u);

constexpr int kTramRegisterCount = 256;
constexpr int kMaxReadPoints = 32;

// The 256 TRAM address registers, chip registers 0x300 to 0x3FF.
using TramAddrImage = std::array<int32_t, kTramRegisterCount>;

struct TankRecord {
    int32_t WriteReg = 0;                           // TRAM register index of the write point
    int32_t WriteAddr = 0;                          // its address in samples
    int32_t WriteFlags = 0;                         // its flags word, lower 20 bits zero
    int32_t ReadCount = 0;                          // valid entries of the arrays below
    std::array<int32_t, kMaxReadPoints> ReadRegs{}; // in ascending register order
    std::array<int32_t, kMaxReadPoints> ReadAddrs{};
    std::array<int32_t, kMaxReadPoints> ReadFlags{};
    // Read points that fell into the window after the arrays were full; they
    // are not stored, only counted so that the tank can be shown as overfull.
    int32_t DroppedReads = 0;

    bool operator==(const TankRecord&) const = default;
};

using TankList = std::vector<TankRecord>;
