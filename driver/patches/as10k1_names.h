// The names that the as10k1 assembler prints of a program when asked for its
// debug dump (`as10k1 -d gti -o X.emu10k1 X.asm > X.dbg`): every GPR with its
// address and kind, every delay line and table, every TRAM access with its
// address and data registers, and the instructions. Addresses are the
// patch's own, before a loader relocates them.
#pragma once

#include "as10k1_patch.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct As10k1NamedGpr {
    std::string name;
    uint32_t address = 0; // 0x100-0x1FF
    std::string kind;     // "Input", "Output", "Control", "Static", "Dynamic", "Constant"
};

struct As10k1NamedAccess {
    std::string name;
    bool write = false;
    uint32_t addressRegister = 0; // 0x300 + the patch's TRAM index
    uint32_t dataRegister = 0;    // 0x200 + the same index
    std::string block;            // the delay line or table it belongs to
};

struct As10k1NamedInstruction {
    uint32_t opcode = 0, r = 0, a = 0, x = 0, y = 0;
};

struct As10k1Names {
    std::string patchName;
    std::vector<As10k1NamedGpr> gprs;
    std::vector<std::string> blocks; // delay lines and tables, by name
    std::vector<As10k1NamedAccess> accesses;
    std::vector<As10k1NamedInstruction> code;
};

struct As10k1NamesResult {
    std::optional<As10k1Names> names;
    std::string error;
};

// A dump is a few hundred lines; a whole chip's worth stays far below this.
constexpr uint64_t kMaxAs10k1NamesBytes = 1 << 20;

// Lines it does not know are skipped; a known line that is malformed is an
// error naming the line.
As10k1NamesResult ParseAs10k1Names(std::string_view text);
// Reads a dump through the checked open (a regular file of at most
// kMaxAs10k1NamesBytes), then parses it.
As10k1NamesResult LoadAs10k1NamesFile(const std::string& path);

// Why the dump is not of this patch ("" when it is): the patch name, the
// count of each kind of GPR, the control GPRs' names, the TRAM registers and
// every instruction must agree.
std::string NamesMismatch(const As10k1Names& names, const As10k1Patch& patch);
