// Reading symbol file text: sections, entry lines, values and line ends.
#include "symbol_file.h"
#include "symbol_table.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

struct Tables {
    SymbolTable opcodes;
    SymbolTable registers;
};

Tables Read(const std::string& text) {
    Tables t;
    ReadSymbolText(text, t.opcodes, t.registers);
    return t;
}

// The value a register entry line stores, or nullopt when it is skipped.
std::optional<int32_t> RegisterValueOf(const std::string& entry) {
    Tables t = Read("[CONSTANTS]\n" + entry + "\n");
    const int32_t* value = t.registers.ValueByName().find("name");
    if (!value)
        return std::nullopt;
    return *value;
}

TEST(SymbolFile, ReadsTheDocumentedExample) {
    Tables t =
        Read("[OPCODES]\r\nfirst_op 0x0 // does one thing\r\nsecond_op\t0x1\r\n[CONSTANTS]\r\n"
             "k_zero 0x40\r\n");
    EXPECT_EQ(*t.opcodes.ValueByName().find("first_op"), 0);
    EXPECT_EQ(*t.opcodes.ValueByName().find("second_op"), 1);
    EXPECT_EQ(*t.opcodes.NoteByName().find("first_op"), " does one thing");
    EXPECT_EQ(*t.opcodes.NoteByName().find("second_op"), "");
    EXPECT_EQ(*t.registers.ValueByName().find("k_zero"), 0x40);
    EXPECT_EQ(t.opcodes.ValueByName().size(), 2u);
    EXPECT_EQ(t.registers.ValueByName().size(), 1u);
}

TEST(SymbolFile, AcceptsOnlyLowerCaseHexPrefixAndSixteenBitValues) {
    EXPECT_EQ(RegisterValueOf("name 0X10"), std::nullopt);
    EXPECT_EQ(RegisterValueOf("name 16"), std::nullopt);
    EXPECT_EQ(RegisterValueOf("name 0x"), std::nullopt);
    EXPECT_EQ(RegisterValueOf("name 0x10000"), std::nullopt);
    EXPECT_EQ(RegisterValueOf("name 0x0000FFFF"), std::nullopt);
    EXPECT_EQ(RegisterValueOf("name 0x123456789"), std::nullopt);
    EXPECT_EQ(RegisterValueOf("name 0x1G"), std::nullopt);
    EXPECT_EQ(RegisterValueOf("name 0x-1"), std::nullopt);
    EXPECT_EQ(RegisterValueOf("name"), std::nullopt);
}

TEST(SymbolFile, ReadsFourDigitsAsSixteenBitAndMoreAsThirtyTwoBit) {
    EXPECT_EQ(RegisterValueOf("name 0xFFFF"), -1);
    EXPECT_EQ(RegisterValueOf("name 0x7FFF"), 32767);
    EXPECT_EQ(RegisterValueOf("name 0x8000"), -32768);
    EXPECT_EQ(RegisterValueOf("name 0x0040"), 64);
    EXPECT_EQ(RegisterValueOf("name 0x00040"), 64);
    EXPECT_EQ(RegisterValueOf("name 0xff"), 255);
    EXPECT_EQ(RegisterValueOf("name 0xFFFFFFFF"), -1);
    EXPECT_EQ(RegisterValueOf("name 0xFFFF8000"), -32768);
    // Beyond the 10-bit operand space, but still a valid entry.
    EXPECT_EQ(RegisterValueOf("name 0x400"), 0x400);
}

TEST(SymbolFile, NamesMustStartWithALetterOrUnderscore) {
    Tables t = Read("[VIRTUAL]\n9abc 0x1\n-neg 0x2\n_under 0x3\nz$weird 0x4\n");
    EXPECT_EQ(t.registers.ValueByName().find("9abc"), nullptr);
    EXPECT_EQ(t.registers.ValueByName().find("-neg"), nullptr);
    EXPECT_EQ(*t.registers.ValueByName().find("_under"), 3);
    EXPECT_EQ(*t.registers.ValueByName().find("z$weird"), 4);
}

TEST(SymbolFile, SpacesTabsExtraWordsAndNotes) {
    Tables t = Read("[PHISICAL]\n"
                    "\t  spaced \t \t0x10   extra words  // note // with slashes\t \n"
                    "nocomment 0x11 more\n"
                    "novalue //0x12\n"
                    "// whole-line comment 0x13\n"
                    "glued 0x14//tight\n");
    EXPECT_EQ(*t.registers.ValueByName().find("spaced"), 0x10);
    // The note is everything after the first "//" of the normalised line.
    EXPECT_EQ(*t.registers.NoteByName().find("spaced"), " note // with slashes");
    EXPECT_EQ(*t.registers.ValueByName().find("nocomment"), 0x11);
    EXPECT_EQ(t.registers.ValueByName().find("novalue"), nullptr);
    EXPECT_EQ(*t.registers.ValueByName().find("glued"), 0x14);
    EXPECT_EQ(*t.registers.NoteByName().find("glued"), "tight");
    EXPECT_EQ(t.registers.ValueByName().size(), 3u);
}

TEST(SymbolFile, SectionHeadersAreUpperCasedAndLoseTheirLastCharacter) {
    Tables t = Read("before 0x1\n"
                    "[Opcodes]\nop_a 0x1\n"
                    "[gpr memory]\nignored_gpr 0x2\n"
                    "[OPCODES] //x\nignored_comment 0x3\n"
                    "[Instruction Memory]\nignored_instr 0x4\n"
                    "[SOMETHING]\nignored_other 0x5\n"
                    "[]\nignored_empty 0x6\n"
                    "[constants)\nreg_a 0x40\n"
                    "[OPCODES]\nop_b 0x2\n"
                    "[virtual]\nreg_b 0x100\n");
    EXPECT_EQ(t.opcodes.ValueByName().size(), 2u);
    EXPECT_NE(t.opcodes.ValueByName().find("op_a"), nullptr);
    EXPECT_NE(t.opcodes.ValueByName().find("op_b"), nullptr);
    EXPECT_EQ(t.registers.ValueByName().size(), 2u);
    EXPECT_NE(t.registers.ValueByName().find("reg_a"), nullptr);
    EXPECT_NE(t.registers.ValueByName().find("reg_b"), nullptr);
}

TEST(SymbolFile, EveryKindOfLineEndEndsALine) {
    Tables t = Read("[CONSTANTS]\r\na 0x1\rb 0x2\nc 0x3\r\n\r\n\rd 0x4");
    EXPECT_EQ(*t.registers.ValueByName().find("a"), 1);
    EXPECT_EQ(*t.registers.ValueByName().find("b"), 2);
    EXPECT_EQ(*t.registers.ValueByName().find("c"), 3);
    EXPECT_EQ(*t.registers.ValueByName().find("d"), 4);
    EXPECT_EQ(*t.registers.NoteByName().find("a"), "");
}

TEST(SymbolFile, LoneBracketHeaderStopsTheLoad) {
    Tables t;
    try {
        ReadSymbolText("[CONSTANTS]\nkept 0x1\n\n  [ \t\nlost 0x2\n", t.opcodes, t.registers);
        FAIL() << "a lone [ must stop the load";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("line 4"), std::string::npos) << e.what();
    }
    EXPECT_NE(t.registers.ValueByName().find("kept"), nullptr);
    EXPECT_EQ(t.registers.ValueByName().find("lost"), nullptr);
}

TEST(SymbolFile, EmptyAndBinaryTextLoadNothingWithoutFailing) {
    EXPECT_EQ(Read("").registers.ValueByName().size(), 0u);
    const std::string junk("\0\xFF\x80[OPCODES\0]\n\xC3\xA9t\xE9 0x1\n\0 0x2\n", 27);
    Tables t = Read(junk);
    EXPECT_EQ(t.opcodes.ValueByName().size(), 0u);
    EXPECT_EQ(t.registers.ValueByName().size(), 0u);
}

TEST(SymbolFile, LoadsAFileFromDisk) {
    TempDir dir;
    const std::string path = dir.write("8010.d", "[OPCODES]\nfirst 0x0\n[CONSTANTS]\nk 0x40\n");
    Tables t;
    EXPECT_EQ(LoadSymbolFile(path, t.opcodes, t.registers), 0);
    EXPECT_EQ(*t.opcodes.ValueByName().find("first"), 0);
    EXPECT_EQ(*t.registers.ValueByName().find("k"), 0x40);
}

TEST(SymbolFile, MissingFileOrFolderOrBadHeaderThrowsNamingTheFile) {
    TempDir dir;
    Tables t;
    const std::string missing = dir.path() + "/none.d";
    EXPECT_THROW(LoadSymbolFile(missing, t.opcodes, t.registers), std::runtime_error);
    EXPECT_THROW(LoadSymbolFile(dir.path(), t.opcodes, t.registers), std::runtime_error);
    const std::string bad = dir.write("bad.d", "[\n");
    try {
        LoadSymbolFile(bad, t.opcodes, t.registers);
        FAIL() << "a lone [ must stop the load";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
    }
}

} // namespace
