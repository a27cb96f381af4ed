// The EMU10K1's own word layouts that both sides of the device agree on: the
// pointer register that selects a chip register, a TRAM data register's
// sample, and the two words of an FX8010 instruction in microcode memory.
#ifndef APS_EMU10K1_WORDS_H
#define APS_EMU10K1_WORDS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// The pointer register: register number in bits 16-26, channel in bits 0-5;
// the other bits read as zero.
enum { APS_POINTER_BITS = 0x07FF003F };

static inline uint32_t ApsPointerWord(uint32_t reg, uint32_t channel) {
    return ((reg & 0x7FF) << 16) | (channel & 0x3F);
}
static inline uint32_t ApsPointerRegister(uint32_t pointer) {
    return (pointer >> 16) & 0x7FF;
}

// A TRAM data register (0x200-0x2FF) holds its sample in bits 0-19, signed;
// the bits above are not the sample's.
enum { EMU10K1_TRAM_SAMPLE_BITS = 20 };
static inline int32_t Emu10k1TramSample(uint32_t word) {
    return (int32_t)(word << (32 - EMU10K1_TRAM_SAMPLE_BITS)) >> (32 - EMU10K1_TRAM_SAMPLE_BITS);
}

// Microcode instruction i is chip register 0x400 + 2i (low word) and
// 0x401 + 2i (high word).
enum { FX8010_MICROCODE_BASE = 0x400, FX8010_INSTRUCTION_COUNT = 512 };

// An instruction's five fields: a 4-bit opcode and four 10-bit operand
// addresses of the DSP's operand space.
typedef struct Fx8010Fields {
    uint32_t opcode, r, a, x, y;
} Fx8010Fields;

typedef struct Fx8010Words {
    uint32_t low;  // X in bits 10-19, Y in bits 0-9
    uint32_t high; // opcode in bits 20-23, R in bits 10-19, A in bits 0-9
} Fx8010Words;

// The fields are combined as given, without masking: the caller keeps each
// within its width, as the chip's own programming interface expects.
static inline Fx8010Words Fx8010PackInstruction(Fx8010Fields f) {
    Fx8010Words w;
    w.low = (f.x << 10) | f.y;
    w.high = (f.opcode << 20) | (f.r << 10) | f.a;
    return w;
}

static inline Fx8010Fields Fx8010UnpackInstruction(Fx8010Words w) {
    Fx8010Fields f;
    f.opcode = (w.high >> 20) & 0xF;
    f.r = (w.high >> 10) & 0x3FF;
    f.a = w.high & 0x3FF;
    f.x = (w.low >> 10) & 0x3FF;
    f.y = w.low & 0x3FF;
    return f;
}

#ifdef __cplusplus
}
#endif

#endif
