// The shipped symbol file and the name lookups built on the process-wide tables.
#include "hex_pad.h"
#include "shipped_symbols.h"
#include "symbol_names.h"
#include "symbol_table.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class ShippedSymbols : public ::testing::Test {
  protected:
    void SetUp() override { LoadShippedSymbolsOnce(); }
};

TEST_F(ShippedSymbols, NamesAllSixteenOpcodesByTheirMainMnemonic) {
    const char* expected[16] = {"MACS", "MACS1", "MACW",   "MACW1",  "MACINTS", "MACINTW",
                                "ACC3", "MACMV", "ANDXOR", "TSTNEG", "LIMIT",   "LIMIT1",
                                "LOG",  "EXP",   "INTERP", "SKIP"};
    for (int op = 0; op < 16; ++op)
        EXPECT_EQ(OpcodeName(op), expected[op]) << "opcode " << op;
    // Aliases are known names but never displayed.
    const std::vector<std::string> names = OpcodeNames();
    EXPECT_EQ(names.front(), "MACS");
    EXPECT_NE(std::find(names.begin(), names.end(), "MACSN"), names.end());
    EXPECT_EQ(*OpcodeSymbols().ValueByName().find("LIMITLT"), 0xB);
}

TEST_F(ShippedSymbols, NamesEveryFixedOperandAddressBelowTheRegisters) {
    for (int address = 0; address <= 0x5B; ++address)
        EXPECT_NE(RegisterName(address).rfind("0x", 0), 0u) << "address " << HexPad(address, 3);
    EXPECT_EQ(RegisterName(0x40), "C_0");
    EXPECT_EQ(RegisterName(0x4A), "C_80000");
    EXPECT_EQ(RegisterName(0x55), "C_00100000");
    EXPECT_EQ(RegisterName(0x56), "ACCUM");
    EXPECT_EQ(RegisterName(0x5B), "DBAC");
    EXPECT_EQ(RegisterName(0x00), "FX_0");
    EXPECT_EQ(RegisterName(0x10), "IN_AC97_L");
    EXPECT_EQ(RegisterName(0x1B), "IN_COAX_R");
    EXPECT_EQ(RegisterName(0x20), "OUT_FRONT_L");
    EXPECT_EQ(*RegisterSymbols().NoteByName().find("ACCUM"),
              " accumulator (67 bits; A reads bits 31-62 or 0-31)");
}

TEST_F(ShippedSymbols, UnnamedValuesFallBackToHex) {
    EXPECT_EQ(RegisterName(0x5C), "0x05C");
    EXPECT_EQ(RegisterName(0x100), "0x100");
    EXPECT_EQ(RegisterName(0x3FF), "0x3FF");
    EXPECT_EQ(RegisterName(-1), "0xFFFFFFFF");
    EXPECT_EQ(OpcodeName(16), "10");
    EXPECT_EQ(OpcodeName(-1), "FFFFFFFF");
}

TEST_F(ShippedSymbols, RegisterNamesListEveryNameInFileOrder) {
    const std::vector<std::string> names = RegisterNames();
    EXPECT_EQ(names.size(), RegisterSymbols().ValueByName().size());
    EXPECT_EQ(names.front(), "C_0");
    EXPECT_EQ(names.back(), "OUT_3F");
    // Constants come before the physical registers, as in the file.
    const auto dbac = std::find(names.begin(), names.end(), "DBAC");
    const auto fx0 = std::find(names.begin(), names.end(), "FX_0");
    ASSERT_NE(dbac, names.end());
    ASSERT_NE(fx0, names.end());
    EXPECT_LT(dbac, fx0);
}

} // namespace
