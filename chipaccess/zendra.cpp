// The seven exports on top of the register primitives.
#include "zendra.h"

#include "chip_registers.h"
#include "emu10k1_words.h"

namespace {

// A failed open leaves the invalid handle behind; it is no more usable than
// none.
bool Opened() {
    return ZendraDevice != 0 && ZendraDevice != APS_INVALID_HANDLE;
}

// A held device must still have its driver, or get it back at once.
bool DeviceReady() {
    if (!Opened() || !ApsDeviceReady(ZendraDevice))
        return false;
    ZendraRequestFailed = false;
    return true;
}

int32_t Outcome() {
    return ZendraRequestFailed ? 1 : 0;
}

const uint32_t kMicrocodeBase = FX8010_MICROCODE_BASE;

MicrocodeInstruction ReadInstruction(int32_t index) {
    Fx8010Words words;
    words.low = ReadChipRegister(kMicrocodeBase + 2 * (uint32_t)index, 0);
    words.high = ReadChipRegister(kMicrocodeBase + 2 * (uint32_t)index + 1, 0);
    Fx8010Fields f = Fx8010UnpackInstruction(words);
    MicrocodeInstruction instr;
    instr.Opcode = (int32_t)f.opcode;
    instr.A = (int32_t)f.a;
    instr.X = (int32_t)f.x;
    instr.Y = (int32_t)f.y;
    instr.R = (int32_t)f.r;
    return instr;
}

} // namespace

extern "C" {

// A process keeps the device it holds: opening it again would only be told
// the device is busy, and lose the open it has.
ZENDRA_API int32_t ZENDRA_CALL ifInitApsIo(void) {
    if (Opened() && ApsDeviceHeld(ZendraDevice))
        return 0;
    ZendraDevice = ApsDeviceOpen();
    return ZendraDevice == APS_INVALID_HANDLE ? 1 : 0;
}

ZENDRA_API int32_t ZENDRA_CALL ifGPRMemoryRead(int32_t address, int32_t* value) {
    if (!DeviceReady())
        return 1;
    uint32_t read = ReadChipRegister((uint32_t)address, 0);
    if (!ZendraRequestFailed)
        *value = (int32_t)read;
    return Outcome();
}

// A request that fails ends the run: the rest would fail the same way.
ZENDRA_API int32_t ZENDRA_CALL ifGPRMemoryReadAll(int32_t first, int32_t count, int32_t* values) {
    if (!DeviceReady())
        return 1;
    for (int32_t i = 0; i < count && !ZendraRequestFailed; ++i) {
        uint32_t read = ReadChipRegister((uint32_t)first + (uint32_t)i, 0);
        if (!ZendraRequestFailed)
            values[i] = (int32_t)read;
    }
    return Outcome();
}

ZENDRA_API int32_t ZENDRA_CALL ifGPRMemoryWrite(int32_t address, const int32_t* value) {
    if (!DeviceReady())
        return 1;
    WriteChipRegister((uint32_t)address, 0, (uint32_t)*value);
    return Outcome();
}

ZENDRA_API int32_t ZENDRA_CALL ifInstrMemoryRead(int32_t index, MicrocodeInstruction* instr) {
    if (!DeviceReady())
        return 1;
    MicrocodeInstruction read = ReadInstruction(index);
    if (!ZendraRequestFailed)
        *instr = read;
    return Outcome();
}

ZENDRA_API int32_t ZENDRA_CALL ifInstrMemoryReadAll(int32_t count, MicrocodeInstruction* instrs) {
    if (!DeviceReady())
        return 1;
    for (int32_t i = 0; i < count && !ZendraRequestFailed; ++i) {
        MicrocodeInstruction read = ReadInstruction(i);
        if (!ZendraRequestFailed)
            instrs[i] = read;
    }
    return Outcome();
}

// The fields are combined unmasked: the caller keeps each within its width.
ZENDRA_API int32_t ZENDRA_CALL ifInstrMemoryWrite(int32_t index,
                                                  const MicrocodeInstruction* instr) {
    if (!DeviceReady())
        return 1;
    Fx8010Fields f;
    f.opcode = (uint32_t)instr->Opcode;
    f.r = (uint32_t)instr->R;
    f.a = (uint32_t)instr->A;
    f.x = (uint32_t)instr->X;
    f.y = (uint32_t)instr->Y;
    Fx8010Words words = Fx8010PackInstruction(f);
    WriteChipRegister(kMicrocodeBase + 2 * (uint32_t)index, 0, words.low);
    if (!ZendraRequestFailed)
        WriteChipRegister(kMicrocodeBase + 2 * (uint32_t)index + 1, 0, words.high);
    return Outcome();
}

} // extern "C"
