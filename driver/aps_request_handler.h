// Carries out one device request on a chip: the checks the driver makes on
// the control code, the 22-byte block and the output size, then the port access.
#pragma once

#include "chip_backend.h"

#include <cstdint>

struct ApsReply {
    bool ok = false;
    uint32_t value = 0;         // the port value of a read
    uint32_t bytesReturned = 0; // 4 for a read, 0 for a write
};

ApsReply HandleApsRequest(ChipBackend& chip, uint32_t code, const uint8_t* input,
                          uint32_t inputSize, uint32_t outputSize);
