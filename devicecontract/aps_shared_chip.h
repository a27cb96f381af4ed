// The chip as the driver service shares it with the client that holds the
// device: one memory mapping holding, for the simulated chip, its register
// file, which the service's DSP runs on. The client may write anything into
// it, so nothing the service relies on lives there: the layout's version and
// size come in the welcome, and each holder keeps its own pointer register.
#ifndef ZENDRA_APS_SHARED_CHIP_H
#define ZENDRA_APS_SHARED_CHIP_H

#include <stdint.h>

enum {
    APS_CHIP_REGISTER_COUNT = 0x800,
    // Whole pages, so the mapping is all of the memory.
    APS_SHARED_CHIP_SIZE = 16384,
};

// What stands behind the ports.
enum {
    APS_CHIP_SIMULATED = 1, // registers[] is the chip
    APS_CHIP_CARD = 2,      // a real card, read through its register files
};

// One register as both sides share it: its value in the low 32 bits, and in
// the high 32 the count of host writes to it, so that the DSP can tell a
// host write from its own value even when the two are equal.
typedef uint64_t ApsChipWord;

typedef struct ApsSharedChip {
    ApsChipWord registers[APS_CHIP_REGISTER_COUNT]; // host view, register 0 first
} ApsSharedChip;

#ifdef __cplusplus
static_assert(sizeof(ApsSharedChip) == APS_SHARED_CHIP_SIZE, "the chip must fill its mapping");
#else
_Static_assert(sizeof(ApsSharedChip) == APS_SHARED_CHIP_SIZE, "the chip must fill its mapping");
#endif

// Words that two processes touch at once are read and written whole.
static inline uint32_t ApsLoadWord(const uint32_t* word) {
    return __atomic_load_n(word, __ATOMIC_RELAXED);
}
static inline void ApsStoreWord(uint32_t* word, uint32_t value) {
    __atomic_store_n(word, value, __ATOMIC_RELAXED);
}

static inline ApsChipWord ApsLoadChipWord(const ApsChipWord* word) {
    return __atomic_load_n(word, __ATOMIC_RELAXED);
}
static inline uint32_t ApsLoadRegister(const ApsChipWord* word) {
    return (uint32_t)ApsLoadChipWord(word);
}
// A host write of a value made from the word as it stood: stores value, with
// one more write counted, only while the word is still *old; otherwise
// returns 0 with *old the word as it now stands, to make the value afresh.
// So a change of a few bits keeps whatever another host wrote meanwhile.
static inline int ApsReplaceRegister(ApsChipWord* word, ApsChipWord* old, uint32_t value) {
    const ApsChipWord next = (((*old >> 32) + 1) << 32) | value;
    return __atomic_compare_exchange_n(word, old, next, 0, __ATOMIC_RELAXED, __ATOMIC_RELAXED);
}
// A host write: the value, and one more write counted.
static inline void ApsWriteRegister(ApsChipWord* word, uint32_t value) {
    ApsChipWord old = ApsLoadChipWord(word);
    while (!ApsReplaceRegister(word, &old, value)) {
    }
}
// The DSP's write: stores value only while no host write came since the word
// was picked up, and counts none.
static inline void ApsPutRegister(ApsChipWord* word, ApsChipWord picked, uint32_t value) {
    ApsChipWord next = (picked & 0xFFFFFFFF00000000u) | value;
    __atomic_compare_exchange_n(word, &picked, next, 0, __ATOMIC_RELAXED, __ATOMIC_RELAXED);
}

#endif
