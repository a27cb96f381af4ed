// Chip images in both forms: what parses, what is refused (with the line),
// round trips through the text form and the dump, and the shipped demo chip.
#include "chip_image.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::string Text(const std::string& body) {
    return "emuaps-chip-image 1\n" + body;
}

ChipImage MustParse(const std::string& text) {
    ChipImageResult r = ParseChipImage(text);
    EXPECT_TRUE(r.image) << r.describe();
    return r.image.value_or(ChipImage{});
}

TEST(ChipImageText, RegistersInstructionsCommentsAndOverrides) {
    ChipImage image = MustParse(Text("# comment line\r\n"
                                     "\n"
                                     "reg 0x100 0x12345678 42\t0xFFFFFFFF  # three values\r\n"
                                     "reg 0x7FF 7\n"
                                     "instr 0 macs 0x3FF 0x001 0x2AB 0x155\n"
                                     "instr 2-4 6 0x40 0x40 0x40 0x40\n"
                                     "reg 0x102 1\n"));
    EXPECT_EQ(image.registers[0x100], 0x12345678u);
    EXPECT_EQ(image.registers[0x101], 42u);
    EXPECT_EQ(image.registers[0x102], 1u) << "a later line overrides";
    EXPECT_EQ(image.registers[0x7FF], 7u);
    EXPECT_EQ(image.registers[0x400], (0x2ABu << 10) | 0x155u);
    EXPECT_EQ(image.registers[0x401], (0x3FFu << 10) | 0x001u);
    for (uint32_t i = 2; i <= 4; ++i) {
        EXPECT_EQ(image.registers[0x400 + 2 * i], (0x40u << 10) | 0x40u);
        EXPECT_EQ(image.registers[0x401 + 2 * i], (6u << 20) | (0x40u << 10) | 0x40u);
    }
    EXPECT_EQ(image.registers[0x402], 0u) << "instruction 1 was not named";
    EXPECT_EQ(image.registers[0x40A], 0u);
}

TEST(ChipImageText, BadInputNamesTheLineAndTheFault) {
    struct Case {
        std::string text;
        int line;
        const char* says;
    };
    const Case cases[] = {
        {"emuaps-chip-image 1 extra\n", 1, "first line"},
        {"emuaps-chip-image\nreg 0 1\n", 1, "first line"},
        {"emuaps-chip-image 2\n", 1, "version"},
        {Text("reg 0x100 1\nregister 0x100 1\n"), 3, "unknown statement"},
        {Text("reg 0x100\n"), 2, "at least one value"},
        {Text("reg 0x800 1\n"), 2, "register address"},
        {Text("reg 0x7FE 1 2 3\n"), 2, "past register 0x7FF"},
        {Text("reg 0x100 0x1G\n"), 2, "bad value"},
        {Text("reg 0x100 0x100000000\n"), 2, "bad value"},
        {Text("reg 0x100 -1\n"), 2, "bad value"},
        {Text("reg 0x 1\n"), 2, "register address"},
        {Text("instr 0 ACC3 0x40 0x40 0x40\n"), 2, "four operands"},
        {Text("instr 0 ACC3 0x40 0x40 0x40 0x40 0x40\n"), 2, "four operands"},
        {Text("instr 512 ACC3 0x40 0x40 0x40 0x40\n"), 2, "instruction index"},
        {Text("instr 5-3 ACC3 0x40 0x40 0x40 0x40\n"), 2, "instruction index"},
        {Text("instr 1- ACC3 0x40 0x40 0x40 0x40\n"), 2, "instruction index"},
        {Text("instr 0 16 0x40 0x40 0x40 0x40\n"), 2, "opcode"},
        {Text("instr 0 MACZ 0x40 0x40 0x40 0x40\n"), 2, "opcode"},
        {Text("instr 0 ACC3 0x400 0x40 0x40 0x40\n"), 2, "operand"},
        {Text("\n\nreg 0x100 \x01\x02\xff\n"), 4, "bad value"},
    };
    for (const Case& c : cases) {
        ChipImageResult r = ParseChipImage(c.text);
        EXPECT_FALSE(r.image) << c.text;
        EXPECT_EQ(r.line, c.line) << c.text;
        EXPECT_NE(r.error.find(c.says), std::string::npos) << c.text << " -> " << r.describe();
    }
}

TEST(ChipImageText, EmptyTextIsNeitherForm) {
    ChipImageResult r = ParseChipImage("");
    EXPECT_FALSE(r.image);
    EXPECT_NE(r.error.find("not a chip image"), std::string::npos) << r.error;
    EXPECT_EQ(ParseChipImageText("").line, 1);
}

TEST(ChipImageText, QuotedGarbageIsShortAndPrintable) {
    std::string word(300, 'x');
    word[3] = '\x07';
    ChipImageResult r = ParseChipImage(Text(word + " 1\n"));
    ASSERT_FALSE(r.image);
    EXPECT_LT(r.error.size(), 120u);
    for (char c : r.error)
        EXPECT_TRUE(c >= 0x20 && c < 0x7F) << int(c);
}

TEST(ChipImageDump, LittleEndianWordsRegisterZeroFirst) {
    std::string dump(kChipDumpSize, '\0');
    dump[0] = '\x78';
    dump[1] = '\x56';
    dump[2] = '\x34';
    dump[3] = '\x12';
    dump[4 * 0x7FF + 3] = '\x80';
    ChipImage image = MustParse(dump);
    EXPECT_EQ(image.registers[0], 0x12345678u);
    EXPECT_EQ(image.registers[0x7FF], 0x80000000u);
    EXPECT_EQ(DumpChipImage(image), dump);
}

TEST(ChipImageDump, WrongSizeIsRefusedWithTheSize) {
    for (std::size_t size : {std::size_t(0), kChipDumpSize - 1, kChipDumpSize + 1}) {
        ChipImageResult r = ParseChipImage(std::string(size, '\x01'));
        EXPECT_FALSE(r.image);
        EXPECT_EQ(r.line, 0);
        EXPECT_FALSE(r.error.empty());
    }
    ChipImageResult r = ParseChipImageDump(std::string(100, '\0'));
    EXPECT_NE(r.error.find("this one has 100"), std::string::npos) << r.error;
}

TEST(ChipImageForms, RandomImagesSurviveTextAndDumpRoundTrips) {
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        ChipImage image;
        for (auto& r : image.registers) {
            // Mostly zero, some small fields, some full words (also in the microcode).
            switch (random() % 4) {
            case 0:
                r = 0;
                break;
            case 1:
                r = random() & 0xFFFFF;
                break;
            default:
                r = random();
            }
        }
        if (round % 2)
            for (int i = 10; i < 200; ++i) { // a run of identical instructions
                image.registers[0x400 + 2 * i] = 0x10040;
                image.registers[0x401 + 2 * i] = 0x610040;
            }
        std::string text = FormatChipImageText(image);
        EXPECT_EQ(MustParse(text), image) << "round " << round;
        EXPECT_EQ(MustParse(DumpChipImage(image)), image) << "round " << round;
    }
}

TEST(ChipImageFile, MissingFileIsAnErrorThatNamesIt) {
    ChipImageResult r = LoadChipImageFile("/nonexistent/chip.img");
    EXPECT_FALSE(r.image);
    EXPECT_EQ(r.describe(), "/nonexistent/chip.img: No such file or directory");
}

// The demo delay lines: two internal tanks (3 and 2 read points) and one
// external tank (3 read points), every read point above its write point.
TEST(DemoChip, ParsesWithAProgramAndDelayLinesInBothPools) {
    std::string path = std::string(VELMORA_PROGRAM_DIR) + "/images/demo.chip";
    ChipImageResult r = LoadChipImageFile(path);
    ASSERT_TRUE(r.image) << r.describe();
    const auto& regs = r.image->registers;

    const uint32_t nop = (6u << 20) | (0x40u << 10) | 0x40u;
    int program = 0;
    while (program < kMicrocodeSize && regs[0x401 + 2 * program] != nop)
        ++program;
    EXPECT_GE(program, 30);
    EXPECT_LE(program, 60);
    for (int i = program; i < kMicrocodeSize; ++i)
        EXPECT_EQ(regs[0x401 + 2 * i], nop) << "instruction " << i;

    auto pool = [&](uint32_t first, uint32_t count, int& writes, int& reads) {
        writes = reads = 0;
        for (uint32_t n = first; n < first + count; ++n) {
            writes += (regs[n] >> 21) & 1;
            reads += (regs[n] >> 20) & 1;
        }
    };
    int writes, reads;
    pool(0x300, 128, writes, reads);
    EXPECT_EQ(writes, 2);
    EXPECT_EQ(reads, 5);
    pool(0x380, 32, writes, reads);
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(reads, 3);
    int gprs = 0;
    for (uint32_t n = 0x100; n < 0x200; ++n)
        gprs += regs[n] != 0;
    EXPECT_GE(gprs, 16);
}

} // namespace
