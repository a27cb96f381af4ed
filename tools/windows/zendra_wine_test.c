/* Zendra on Windows where the sound card's driver is absent: every export
 * but ifInitApsIo refuses to work before the device is open and touches
 * nothing, the open fails, and the seven names are found undecorated. */
#include "zendra.h"

#include <stdio.h>
#include <string.h>
#include <windows.h>

static int passed, failed;

static void Expect(const char* what, long got, long want) {
    if (got == want) {
        ++passed;
        printf("ok: %s is %ld\n", what, got);
    } else {
        ++failed;
        printf("FAILED: %s is %ld, not %ld\n", what, got, want);
    }
}

/* Every export other than the open, with buffers that must stay as they are. */
static void ExpectRefused(const char* when) {
    int32_t value = 0x5A5A5A5A;
    int32_t values[4] = {7, 7, 7, 7};
    MicrocodeInstruction instr = {1, 2, 3, 4, 5};
    MicrocodeInstruction instrs[2] = {{1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}};
    char what[128];
#define REFUSED(call)                                                                              \
    snprintf(what, sizeof what, "%s %s", #call, when);                                             \
    Expect(what, (call), 1)
    REFUSED(ifGPRMemoryRead(0x100, &value));
    REFUSED(ifGPRMemoryReadAll(0x100, 4, values));
    REFUSED(ifGPRMemoryWrite(0x100, &value));
    REFUSED(ifInstrMemoryRead(0, &instr));
    REFUSED(ifInstrMemoryReadAll(2, instrs));
    REFUSED(ifInstrMemoryWrite(0, &instr));
#undef REFUSED
    Expect("the value left alone (0x5A5A5A5A)", value, 0x5A5A5A5A);
    Expect("the values left alone",
           values[0] == 7 && values[1] == 7 && values[2] == 7 && values[3] == 7, 1);
    Expect("the instructions left alone",
           instr.R == 5 && instrs[0].Opcode == 1 && instrs[1].R == 5 && instrs[1].Y == 4, 1);
}

int main(void) {
    static const char* const names[] = {
        "ifInitApsIo",       "ifGPRMemoryRead",      "ifGPRMemoryReadAll", "ifGPRMemoryWrite",
        "ifInstrMemoryRead", "ifInstrMemoryReadAll", "ifInstrMemoryWrite"};
    HMODULE zendra = GetModuleHandleA("zendra.dll");
    Expect("zendra.dll loaded with the program", zendra != NULL, 1);
    for (size_t i = 0; zendra && i < sizeof names / sizeof names[0]; ++i) {
        char what[64];
        snprintf(what, sizeof what, "GetProcAddress finds %s", names[i]);
        Expect(what, GetProcAddress(zendra, names[i]) != NULL, 1);
    }

    ExpectRefused("before the open");
    Expect("ifInitApsIo() without the driver", ifInitApsIo(), 1);
    ExpectRefused("after the failed open");

    printf("%d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}
