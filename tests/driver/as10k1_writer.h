// Writes a patch in the as10k1 assembler's binary layout, so tests can make
// patches (good and broken) without the assembler.
#pragma once

#include "as10k1_patch.h"

#include <string>

std::string WriteAs10k1Patch(const As10k1Patch& patch);

// One instruction's two words from its fields.
As10k1Instruction As10k1Instr(uint32_t op, uint32_t r, uint32_t a, uint32_t x, uint32_t y);
