// Public interface of the Zendra chip access library: register-level access to
// the FX8010 DSP of an EMU10K1 through the sound card driver's port requests.
#ifndef ZENDRA_H
#define ZENDRA_H

#include <stdint.h>

#if defined(_WIN32)
#define ZENDRA_CALL __stdcall
#if defined(ZENDRA_BUILDING)
#define ZENDRA_API __declspec(dllexport)
#else
#define ZENDRA_API __declspec(dllimport)
#endif
#else
#define ZENDRA_CALL
#define ZENDRA_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

// One DSP instruction unpacked; the position of a field is its field number 0..4.
typedef struct MicrocodeInstruction {
    int32_t Opcode;
    int32_t A;
    int32_t X;
    int32_t Y;
    int32_t R;
} MicrocodeInstruction;

#ifdef __cplusplus
static_assert(sizeof(MicrocodeInstruction) == 20, "MicrocodeInstruction must be 20 bytes");
#else
_Static_assert(sizeof(MicrocodeInstruction) == 20, "MicrocodeInstruction must be 20 bytes");
#endif

// All exports return 0 when done, and 1 when the device is not open, its
// driver is gone and cannot be reached again at once, or a request failed.
ZENDRA_API int32_t ZENDRA_CALL ifInitApsIo(void);
ZENDRA_API int32_t ZENDRA_CALL ifGPRMemoryRead(int32_t address, int32_t* value);
ZENDRA_API int32_t ZENDRA_CALL ifGPRMemoryReadAll(int32_t first, int32_t count, int32_t* values);
ZENDRA_API int32_t ZENDRA_CALL ifGPRMemoryWrite(int32_t address, const int32_t* value);
ZENDRA_API int32_t ZENDRA_CALL ifInstrMemoryRead(int32_t index, MicrocodeInstruction* instr);
ZENDRA_API int32_t ZENDRA_CALL ifInstrMemoryReadAll(int32_t count, MicrocodeInstruction* instrs);
ZENDRA_API int32_t ZENDRA_CALL ifInstrMemoryWrite(int32_t index, const MicrocodeInstruction* instr);

#ifdef __cplusplus
}
#endif

#endif
