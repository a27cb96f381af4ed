// The tank state of the program: the last TRAM address image, the tank lists
// it gave and the lists of the analysis before, for marking changed tanks.
#pragma once

#include "tank_record.h"

#include <functional>

struct TankMemory {
    TramAddrImage Image{};
    TankList InternalTanks;
    TankList ExternalTanks;
    TankList PrevInternalTanks;
    TankList PrevExternalTanks;
};

// Reads count registers from chip register first into values; returns 0 when
// done. A failed read leaves values untouched.
using TramReader = std::function<int32_t(int32_t first, int32_t count, int32_t* values)>;

// The index ranges of the two pools.
constexpr int32_t kInternalFirst = 0;
constexpr int32_t kInternalCount = 128;
constexpr int32_t kExternalFirst = 128;
constexpr int32_t kExternalCount = 32;
// Chip register of TRAM address register 0.
constexpr int32_t kTramAddrBase = 0x300;

// Reads the 256 address registers through read, keeps the current lists as the
// previous ones and rebuilds both pools. When the read fails the image keeps
// its last contents, so the result repeats and nothing counts as changed.
void AnalyseTanks(TankMemory& tanks, const TramReader& read);

// True when tank number of pool exists in both the current and the previous
// analysis and its first read address moved. Tanks are paired by number.
bool TankChanged(const TankMemory& tanks, int32_t number, TankPool pool);

// The program's one tank state, alive for the whole run.
TankMemory& Tanks();
