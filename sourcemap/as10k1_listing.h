// The listing that as10k1 writes with -l: each line it read, after a column
// that holds the instruction it made of it ("0x004   MACS     (00)   0x200,...")
// or "including file", then "||   " and the line's own text; after the last,
// "Summary:" and what the program declares.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct As10k1ListedLine {
    std::optional<uint32_t> instruction; // the patch's own instruction index
    bool including = false;              // an include directive
    std::string text;                    // the source line as it was read
};

struct As10k1Listing {
    std::vector<As10k1ListedLine> lines;
    std::string error; // "listing line N: why"; lines is then empty
};

// Lines that do not carry the column (what as10k1 echoes of a macro's body)
// are skipped. Instructions must come in order, two words apart as as10k1
// counts them, and stay below maxInstructions.
As10k1Listing ParseAs10k1Listing(std::string_view text, uint32_t maxInstructions = 0x10000);
