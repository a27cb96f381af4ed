// syscall() and nanosleep() under a strict C standard too.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include "host_write.h"

#ifdef __linux__
#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>
#else
#include <time.h>
#endif

// The 32-bit half of a word that holds its count of host writes.
static const uint32_t* WriteCount(const ApsChipWord* word) {
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return (const uint32_t*)word + 1;
#else
    return (const uint32_t*)word;
#endif
}

void ApsHostWrite(ApsChipWord* registers, uint32_t reg, uint32_t value) {
    ApsWriteRegister(&registers[reg], value);
    if (reg == APS_DEBUG_REGISTER)
        ApsWakeHostWriteWaiters(&registers[reg]);
}

void ApsAwaitHostWrite(const ApsChipWord* word, ApsChipWord seen, int timeoutMs) {
    struct timespec limit = {timeoutMs / 1000, (long)(timeoutMs % 1000) * 1000000L};
#ifdef __linux__
    // Not FUTEX_PRIVATE_FLAG: the writer is another process.
    syscall(SYS_futex, WriteCount(word), FUTEX_WAIT, (uint32_t)(seen >> 32), &limit, NULL, 0);
#else
    (void)word;
    (void)seen;
    nanosleep(&limit, NULL);
#endif
}

void ApsWakeHostWriteWaiters(const ApsChipWord* word) {
#ifdef __linux__
    syscall(SYS_futex, WriteCount(word), FUTEX_WAKE, 0x7FFFFFFF, NULL, NULL, 0);
#else
    (void)word;
#endif
}
