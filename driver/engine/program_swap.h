// A new program swapped into a running chip between two samples: its
// registers as the swap leaves them.
#pragma once

#include "chip_image.h"
#include "state_carry.h"

// fresh, but where carry takes a running value over: running's.
ChipImage SwappedRegisters(const ChipImage& running, const ChipImage& fresh,
                           const StateCarry& carry);
