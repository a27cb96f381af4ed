// The check that every export of the library fails (returns 1) and leaves
// the caller's values as they were: before the open, after a failed open,
// and once the driver service is gone.
#pragma once

#include "zendra.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

inline void ExpectEveryExportFailsAndLeavesTheValuesAlone() {
    int32_t value = 42;
    int32_t values[64];
    std::fill(std::begin(values), std::end(values), 42);
    MicrocodeInstruction instr{1, 2, 3, 4, 5};
    EXPECT_EQ(ifGPRMemoryRead(0x100, &value), 1);
    EXPECT_EQ(ifGPRMemoryReadAll(0x100, 64, values), 1);
    EXPECT_EQ(ifGPRMemoryWrite(0x100, &value), 1);
    EXPECT_EQ(ifInstrMemoryRead(0, &instr), 1);
    EXPECT_EQ(ifInstrMemoryReadAll(1, &instr), 1);
    EXPECT_EQ(ifInstrMemoryWrite(0, &instr), 1);
    EXPECT_EQ(value, 42);
    for (int32_t v : values)
        EXPECT_EQ(v, 42);
    EXPECT_EQ(instr.R, 5);
}
