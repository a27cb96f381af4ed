// The chip as the driver service shares it with the client that holds the
// device: one memory mapping that both sides see at the same layout, holding
// the chip's pointer register and, for the simulated chip, its register file,
// which the service's DSP runs on. Everything in it may be written by the
// client, so the service trusts none of it.
#ifndef ZENDRA_APS_SHARED_CHIP_H
#define ZENDRA_APS_SHARED_CHIP_H

#include <stdint.h>

enum {
    APS_CHIP_REGISTER_COUNT = 0x800,
    APS_SHARED_CHIP_MAGIC = 0x50494843, // "CHIP"
    // Whole pages, so the mapping is all of the memory.
    APS_SHARED_CHIP_SIZE = 12288,
};

// What stands behind the ports.
enum {
    APS_CHIP_SIMULATED = 1, // registers[] is the chip
    APS_CHIP_CARD = 2,      // a real card, read through its register files
};

typedef struct ApsSharedChip {
    uint32_t registers[APS_CHIP_REGISTER_COUNT]; // host view, register 0 first
    uint32_t pointer;                            // the chip's pointer register
    uint32_t magic;
    uint32_t version;
} ApsSharedChip;

#ifdef __cplusplus
static_assert(sizeof(ApsSharedChip) <= APS_SHARED_CHIP_SIZE, "the chip must fit its mapping");
#else
_Static_assert(sizeof(ApsSharedChip) <= APS_SHARED_CHIP_SIZE, "the chip must fit its mapping");
#endif

// Words that two processes touch at once are read and written whole.
static inline uint32_t ApsLoadWord(const uint32_t* word) {
    return __atomic_load_n(word, __ATOMIC_RELAXED);
}
static inline void ApsStoreWord(uint32_t* word, uint32_t value) {
    __atomic_store_n(word, value, __ATOMIC_RELAXED);
}
// Stores value only while the word still holds expected.
static inline void ApsStoreWordIf(uint32_t* word, uint32_t expected, uint32_t value) {
    __atomic_compare_exchange_n(word, &expected, value, 0, __ATOMIC_RELAXED, __ATOMIC_RELAXED);
}

#endif
