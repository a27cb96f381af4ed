// A host's write of a chip register, and the simulated chip's wait for one.
// The DSP of a stopped chip has nothing to do until the host writes the debug
// register; on Linux the write wakes it through a futex on that register's
// write count, which both processes share through the MAP_SHARED memory.
#ifndef ZENDRA_HOST_WRITE_H
#define ZENDRA_HOST_WRITE_H

#include "aps_shared_chip.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// The FX8010's debug register (DBG).
enum { APS_DEBUG_REGISTER = 0x52 };

// A host write of registers[reg]; one of the debug register wakes its waiter.
void ApsHostWrite(ApsChipWord* registers, uint32_t reg, uint32_t value);
// Waits until the count of host writes to *word is no longer the one in
// seen, a wake, or timeoutMs; it may return early.
void ApsAwaitHostWrite(const ApsChipWord* word, ApsChipWord seen, int timeoutMs);
// Ends every wait on *word.
void ApsWakeHostWriteWaiters(const ApsChipWord* word);

#ifdef __cplusplus
}
#endif

#endif
