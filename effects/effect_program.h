// What the effects reader knows about the library: one directory entry per
// effect program found, and the tables of the effect program parsed last.
#pragma once

#include "zendra.h"

#include <cstdint>
#include <string>
#include <vector>

struct EffectEntry {
    int64_t Offset = 0; // file offset of the "RIFX" signature
    std::string Name;   // third string of the effect's ckid chunk
};

// Word lists hold unsigned 16-bit values (0 to 65535); the code holds the
// instructions with their operands as stored, not cut to 10 bits.
struct EffectTables {
    std::vector<int32_t> rsrc;
    std::vector<int32_t> gprs;
    std::vector<int32_t> tram;
    std::vector<int32_t> xtra;
    std::vector<int32_t> inp; // chunk id "inp " (with the trailing space)
    std::vector<int32_t> outp;
    std::vector<int32_t> iscl;
    std::vector<int32_t> wscl;
    std::vector<MicrocodeInstruction> code;
};
