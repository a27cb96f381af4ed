// Working out the tanks of one TRAM pool from the address registers alone.
#pragma once

#include "tank_record.h"

// Rebuilds list from the registers first to first + count - 1 of image: one
// tank per write point, in register order, each collecting the read points
// whose address lies above its write address and below the next higher write
// address of the same range. Indexes outside the image are ignored.
void FindTanks(const TramAddrImage& image, int32_t first, int32_t count, TankList& list);

// The delay of each read point in samples: ReadAddrs[k] - WriteAddr.
std::vector<int32_t> ReadPointSizes(const TankRecord& tank);
