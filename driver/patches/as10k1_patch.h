// The binary patch files that the public as10k1 assembler writes (".emu10k1"):
// an FX8010 program with its own numbering of GPRs (address - 0x100) and TRAM
// registers (index from 0), which a loader relocates into a chip.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

constexpr std::string_view kAs10k1Signature = "EMU10K1 FX8010 1";

struct As10k1Io {
    uint8_t in = 0;
    uint8_t out = 0;
};

struct As10k1Gpr {
    uint8_t gpr = 0;
    uint32_t value = 0;
};

struct As10k1Control {
    uint8_t gpr = 0;
    uint32_t value = 0, min = 0, max = 0;
    std::string name;
};

struct As10k1TramLine {
    uint8_t reg = 0;     // the patch's TRAM register index
    uint32_t offset = 0; // the tap, in samples from the start of its block
};

// A lookup table or a delay line: a block of TRAM with its read and write taps.
struct As10k1TramBlock {
    uint32_t size = 0;
    std::vector<As10k1TramLine> reads, writes;
};

struct As10k1Instruction {
    uint32_t low = 0, high = 0;
};

struct As10k1Patch {
    std::string name;
    std::vector<As10k1Io> io;
    std::vector<uint8_t> dynamic;
    std::vector<As10k1Gpr> statics;
    std::vector<As10k1Control> controls;
    std::vector<As10k1Gpr> constants;
    std::vector<As10k1TramBlock> tables;
    std::vector<As10k1TramBlock> delays;
    std::vector<As10k1Instruction> code;
};

struct As10k1PatchResult {
    std::optional<As10k1Patch> patch;
    std::string error;
};

// Checks the layout and that the program hangs together: every GPR and TRAM
// register is declared once, every operand the code uses is declared, every
// tap lies inside its block, instruction words have no bits outside their fields.
As10k1PatchResult ParseAs10k1Patch(std::string_view bytes);

// The largest patch the format can describe (255 of every list, 65,535
// instructions) stays below this.
constexpr uint64_t kMaxAs10k1PatchBytes = 2 << 20;
// Reads and parses a patch file. A file that is not a regular file or is
// longer than kMaxAs10k1PatchBytes is refused before it is read.
As10k1PatchResult LoadAs10k1PatchFile(const std::string& path);
