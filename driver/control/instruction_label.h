// How answers name an instruction, and the instruction a break names.
#pragma once

#include "source_map.h"

#include <cstdint>
#include <optional>
#include <string>

// "0x004", and when the program came as source, with the line that made it:
// "0x004 echo.asm:16 macs wl,mono,rl,fb".
std::string InstructionLabel(uint32_t address, const SourceMap& source);

// What break's word names: an address (0x30, or decimal without a source),
// or with a source FILE:LINE or LINE of the program's own file, the first
// instruction that line made. Else status 1 (a line that made none, with the
// nearest that did) or 2 (not an address or a line) and why.
struct BreakTarget {
    std::optional<uint32_t> address;
    int status = 0;
    std::string why;
};
// break's usage, which names lines when there is a source.
std::string BreakUsage(const SourceMap& source);
BreakTarget FindBreakTarget(const std::string& word, const SourceMap& source);
