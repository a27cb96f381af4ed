#include "tank_memory.h"

#include "find_tanks.h"

void AnalyseTanks(TankMemory& tanks, const TramReader& read) {
    read(kTramAddrBase, kTramRegisterCount, tanks.Image.data());
    tanks.PrevInternalTanks = tanks.InternalTanks;
    tanks.PrevExternalTanks = tanks.ExternalTanks;
    FindTanks(tanks.Image, kInternalFirst, kInternalCount, tanks.InternalTanks);
    FindTanks(tanks.Image, kExternalFirst, kExternalCount, tanks.ExternalTanks);
}

bool TankChanged(const TankMemory& tanks, int32_t number, TankPool pool) {
    const bool internal = pool == TankPool::Internal;
    const TankList& current = internal ? tanks.InternalTanks : tanks.ExternalTanks;
    const TankList& previous = internal ? tanks.PrevInternalTanks : tanks.PrevExternalTanks;
    if (number < 0 || static_cast<std::size_t>(number) >= current.size() ||
        static_cast<std::size_t>(number) >= previous.size())
        return false;
    return current[number].ReadAddrs[0] != previous[number].ReadAddrs[0];
}

TankMemory& Tanks() {
    static TankMemory tanks;
    return tanks;
}
