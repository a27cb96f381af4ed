// Loads the symbol file that ships beside the test binaries into the
// process-wide tables, once per test process.
#pragma once

#include "symbol_file.h"

#include <gtest/gtest.h>

inline void LoadShippedSymbolsOnce() {
    static const bool loaded = [] {
        // The copy beside the test binaries is the one the program loads.
        EXPECT_EQ(SymbolFilePath(), std::string(VELMORA_PROGRAM_DIR) + "/Symbols/8010.d");
        return LoadSymbolFile() == 0;
    }();
    ASSERT_TRUE(loaded);
}
