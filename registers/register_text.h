// The texts of the register window: grid cells, row headings, the rows that
// describe the selected register and its history rows.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// The register image starts at chip address 0x100; index i is address 0x100 + i.
constexpr int32_t kFirstRegisterAddress = 0x100;
constexpr int32_t kRegisterCount = 512;

// "General Purpose" (0-255), "TRAM Data" (256-415), "Unknown/Empty" (416-511
// and anything outside the image).
std::string RegisterKind(int32_t index);

// A grid cell: eight upper-case hexadecimal digits.
std::string RegisterCellText(int32_t value);

// The heading of grid row 1 to 128: the address of its first register, "100" to "2FC".
std::string GridRowHeading(int32_t row);

constexpr int kRegisterInfoRows = 5;
using RegisterInfo = std::array<std::string, kRegisterInfoRows>;

// "Type", "Address", "Hex", "Integer", "Fractional".
const RegisterInfo& RegisterInfoLabels();

// The five values beside the labels for register index holding value; all but
// the kind start with a blank. Integer and fraction are of the 32-bit word,
// but of the 20-bit sample (sign-extended from bit 19, a fraction of 2^19)
// for the TRAM data registers 0x200-0x2FF.
RegisterInfo RegisterInfoValues(int32_t index, int32_t value);

// One history row of register index: the integer as above, " / ", the fraction.
std::string HistoryRowText(int32_t index, int32_t value);
