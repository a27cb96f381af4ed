// fxlib's text form: the bytes it writes for each directive and the errors it
// gives for descriptions it cannot build.
#include "fx_library_builder.h"
#include "symbol_table.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

TEST(FxlibBuilder, WritesBigEndianChunksWithComputedSizes) {
    std::string bytes = BuildEffectsLibrary(R"(# a comment
rifx
  ckid "ab" "" "N"     // 3 + 1 + 2 = 6 bytes
  list gpri
    gprs 0x1234 65535
  end
  inp 1
end
)");
    const std::string expected = "RIFX\0\0\0\x34"
                                 "PTXT"
                                 "ckid\0\0\0\x06"
                                 "ab\0\0N\0"
                                 "LIST\0\0\0\x10"
                                 "gpri"
                                 "gprs\0\0\0\x04"
                                 "\x12\x34\xFF\xFF"
                                 "inp \0\0\0\x02"
                                 "\0\x01"s;
    EXPECT_EQ(bytes, expected);
}

TEST(FxlibBuilder, PadsOddCkidAndCodeOnly) {
    std::string bytes = BuildEffectsLibrary(R"(ckid "abcd"
chunk gprs 01 02 03
code
  0x0F 0x400 1 2 0xFFFF
end
chunk code 07
)");
    const std::string expected = "ckid\0\0\0\x05"
                                 "abcd\0"
                                 "\0"
                                 "gprs\0\0\0\x03"
                                 "\x01\x02\x03"
                                 "code\0\0\0\x09"
                                 "\x0F\x04\x00\x00\x01\x00\x02\xFF\xFF"
                                 "\0"
                                 "code\0\0\0\x01"
                                 "\x07"
                                 "\0"s;
    EXPECT_EQ(bytes, expected);
}

TEST(FxlibBuilder, ForcedSizesAreWrittenAsGiven) {
    std::string bytes = BuildEffectsLibrary("rifx WAVE size=0x10\n  code size=3\n    bytes 01 02 "
                                            "03 04 05\n  end\nend\nchunk rsrc \"xy\" size=0\n");
    const std::string expected = "RIFX\0\0\0\x10"
                                 "WAVE"
                                 "code\0\0\0\x03"
                                 "\x01\x02\x03\x04\x05"
                                 "rsrc\0\0\0\0"
                                 "xy"s;
    EXPECT_EQ(bytes, expected);
}

TEST(FxlibBuilder, FillerIsRepeatableAndNeverSpellsTheSignature) {
    const std::string description = "filler 200000\nbytes \"|\"\nfiller 77 zero\nfiller 5000\n";
    std::string bytes = BuildEffectsLibrary(description);
    ASSERT_EQ(bytes.size(), 200000u + 1 + 77 + 5000);
    EXPECT_EQ(bytes, BuildEffectsLibrary(description));
    EXPECT_EQ(bytes.find("RIFX"), std::string::npos);
    EXPECT_EQ(bytes.substr(200001, 77), std::string(77, '\0'));
    // Runs of zeros among other bytes, like the rest of a program file.
    const std::string binary = bytes.substr(0, 200000);
    EXPECT_NE(binary.find(std::string(16, '\0')), std::string::npos);
    EXPECT_NE(binary.find_first_not_of('\0'), std::string::npos);
}

TEST(FxlibBuilder, CodeLinesTakeSymbolNamesInAnyCase) {
    SymbolTable opcodes, registers;
    opcodes.Store("MACS", 0, "");
    opcodes.Store("SKIP", 15, "");
    registers.Store("C_0", 0x40, "");
    registers.Store("FX_1", 0x01, "");
    registers.Store("MINUS", -1, "");
    std::string bytes = BuildEffectsLibrary(
        "code\n  skip c_0, FX_1, 0x100, MINUS // 0F 040 001 100 FFFF\n  MACS 1 2 3 4\nend\n",
        opcodes, registers);
    const std::string expected = "code\0\0\0\x12"
                                 "\x0F\x00\x40\x00\x01\x01\x00\xFF\xFF"
                                 "\x00\x00\x01\x00\x02\x00\x03\x00\x04"s;
    EXPECT_EQ(bytes, expected);
}

TEST(FxlibBuilder, ReportsTheLineOfWhatCannotBeBuilt) {
    struct Case {
        const char* description;
        int line;
        const char* says;
    };
    const Case cases[] = {
        {"rifx\n  wobble 1\nend\n", 2, "unknown directive"},
        {"rifx\n  rsrc 65536\nend\n", 2, "65536"},
        {"\n\nrifx\n  list gpri\n", 4, "no \"end\""},
        {"end\n", 1, "without an open"},
        {"code\n  MACS 1 2 3 4\nend\n", 2, "unknown name \"MACS\""},
        {"code\n  1 2 3\nend\n", 2, "four operands"},
        {"code\n  0x100 1 2 3 4\nend\n", 2, "0x100"},
        {"ckid \"a\" b\n", 1, "quoted"},
        {"ckid \"open\n", 1, "unterminated"},
        {"chunk toolong 00\n", 1, "four characters"},
        {"bytes 0G\n", 1, "hex byte"},
        {"rsrc 1 size=-1\n", 1, "size="},
        {"filler 10 purple\n", 1, "filler kinds"},
    };
    for (const Case& c : cases) {
        try {
            BuildEffectsLibrary(c.description);
            ADD_FAILURE() << "built: " << c.description;
        } catch (const FxDescriptionError& error) {
            EXPECT_EQ(error.Line(), c.line) << c.description;
            EXPECT_NE(std::string(error.what()).find(c.says), std::string::npos) << error.what();
            EXPECT_EQ(std::string(error.what()).rfind("line " + std::to_string(c.line) + ": ", 0),
                      0u);
        }
    }
}

} // namespace
