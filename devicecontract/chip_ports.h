// A chip's pointer and data ports as one device request reaches them, and the
// driver's handling of that request: the checks on the control code, the
// 22-byte block and the output buffer, then the port access. The library
// carries out its own requests with it, on the chip the service handed it.
#ifndef ZENDRA_CHIP_PORTS_H
#define ZENDRA_CHIP_PORTS_H

#include "aps_shared_chip.h"
#include "emu10k1_words.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// One of the register files that Linux's sound driver publishes for a card
// (in /proc/asound/cardN): the registers it holds, from first on, as native
// 32-bit words (register first + k at byte 4k).
typedef struct ApsCardFile {
    const char* name;
    uint32_t first;
    uint32_t count;
} ApsCardFile;

enum { APS_CARD_FILE_COUNT = 4 };
// GPRs, TRAM data, TRAM addresses and microcode, in register order.
extern const ApsCardFile ApsCardFiles[APS_CARD_FILE_COUNT];
// The index of the file that holds a register, or -1 when none does.
int ApsCardFileOf(uint32_t reg);

typedef struct ApsChipPorts {
    uint32_t* pointer;      // the chip's pointer register, the caller's own
    ApsChipWord* registers; // a simulated chip's 0x800 shared registers, or null
    const int* card_files;  // a card's register files (ApsCardFiles order), or null
} ApsChipPorts;

// Reads a port; returns 0 when the chip could not be read. A card's
// registers that no file holds, and bytes past the end of a short file,
// read as 0.
int ApsChipPortRead(const ApsChipPorts* chip, uint16_t port, uint32_t* value);
// Writes a port; returns 0 when the chip refuses: a card takes only pointer
// writes. A data write is counted in the register's word, so the running DSP
// keeps it whatever its value; one of the debug register wakes a stopped DSP.
int ApsChipPortWrite(const ApsChipPorts* chip, uint16_t port, uint32_t value);

// Carries out one device request; returns 1 when it was done. A read needs a
// 4-byte output buffer and returns the port value in it.
int ApsCarryOutRequest(const ApsChipPorts* chip, uint32_t code, const void* in, uint32_t in_size,
                       void* out, uint32_t out_size, uint32_t* bytes_returned);

#ifdef __cplusplus
}
#endif

#endif
