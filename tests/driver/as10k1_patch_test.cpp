// Reading as10k1 patch files: the real assembler's output field by field, and
// broken files rejected with a reason instead of read past their end.
#include "as10k1_patch.h"
#include "as10k1_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

const std::string kProbe = std::string(VELMORA_SOURCE_DIR) + "/tests/driver/data/probe.emu10k1";
const std::string kDemo =
    std::string(VELMORA_SOURCE_DIR) + "/driver/images/demo-chorus-echo.emu10k1";

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A patch with one GPR pair and one delay line, valid until a test breaks it.
As10k1Patch Small() {
    As10k1Patch p;
    p.name = "small";
    p.io = {{0, 1}};
    p.delays = {{100, {{1, 50}}, {{0, 0}}}};
    p.code = {As10k1Instr(0, 0x200, 0x100, 0x040, 0x040),
              As10k1Instr(6, 0x101, 0x201, 0x040, 0x040)};
    return p;
}

std::string ErrorOf(const std::string& bytes) {
    As10k1PatchResult r = ParseAs10k1Patch(bytes);
    EXPECT_FALSE(r.patch) << "parsed although broken";
    return r.error;
}

TEST(As10k1Patch, ReadsWhatTheAssemblerWrites) {
    As10k1PatchResult r = LoadAs10k1PatchFile(kProbe);
    ASSERT_TRUE(r.patch) << r.error;
    const As10k1Patch& p = *r.patch;
    EXPECT_EQ(p.name, "probe");
    ASSERT_EQ(p.io.size(), 2u);
    EXPECT_EQ(p.io[1].in, 2);
    EXPECT_EQ(p.io[1].out, 3);
    EXPECT_EQ(p.dynamic, (std::vector<uint8_t>{4, 5}));
    ASSERT_EQ(p.statics.size(), 2u); // s1, and the skip count the assembler adds
    EXPECT_EQ(p.statics[0].gpr, 6);
    EXPECT_EQ(p.statics[0].value, 0x1234u);
    EXPECT_EQ(p.statics[1].gpr, 0x0A);
    EXPECT_EQ(p.statics[1].value, 2u);
    ASSERT_EQ(p.controls.size(), 1u);
    EXPECT_EQ(p.controls[0].gpr, 7);
    EXPECT_EQ(p.controls[0].value, 0x3FFFFFFFu);
    EXPECT_EQ(p.controls[0].max, 1u);
    EXPECT_EQ(p.controls[0].name, "c1");
    ASSERT_EQ(p.constants.size(), 2u);
    EXPECT_EQ(p.constants[1].value, 0x100u);

    ASSERT_EQ(p.tables.size(), 1u);
    EXPECT_EQ(p.tables[0].size, 100u);
    ASSERT_EQ(p.tables[0].writes.size(), 1u);
    EXPECT_TRUE(p.tables[0].reads.empty());
    ASSERT_EQ(p.delays.size(), 2u);
    EXPECT_EQ(p.delays[0].size, 1001u);
    const As10k1TramBlock& half = p.delays[1];
    EXPECT_EQ(half.size, 24001u); // 0.5 s at 48 kHz and one more
    ASSERT_EQ(half.reads.size(), 2u);
    EXPECT_EQ(half.reads[0].reg, 4);
    EXPECT_EQ(half.reads[0].offset, 20000u);
    EXPECT_EQ(half.reads[1].offset, 4800u); // &0.1
    EXPECT_EQ(half.writes[0].reg, 3);

    ASSERT_EQ(p.code.size(), 6u);
    // skip $57,$57,nz,.lab
    EXPECT_EQ(p.code[2].high, (15u << 20) | (0x057u << 10) | 0x057u);
    EXPECT_EQ(p.code[2].low, (0x109u << 10) | 0x10Au);
}

TEST(As10k1Patch, TheWriterRebuildsRealFilesByteForByte) {
    for (const std::string& path : {kProbe, kDemo}) {
        std::string bytes = Bytes(path);
        ASSERT_FALSE(bytes.empty()) << path;
        As10k1PatchResult r = ParseAs10k1Patch(bytes);
        ASSERT_TRUE(r.patch) << path << ": " << r.error;
        EXPECT_EQ(WriteAs10k1Patch(*r.patch), bytes) << path;
    }
}

TEST(As10k1Patch, EveryCutShortFileIsRejectedWithThePartItEndsIn) {
    std::string bytes = Bytes(kProbe);
    ASSERT_GT(bytes.size(), 100u);
    EXPECT_EQ(ErrorOf(bytes.substr(0, 10)),
              "not an as10k1 patch: it does not start with \"EMU10K1 FX8010 1\"");
    for (std::size_t n = 16; n < bytes.size(); ++n) {
        std::string error = ErrorOf(bytes.substr(0, n));
        EXPECT_NE(error.find("the file ends inside"), std::string::npos) << n << ": " << error;
    }
    EXPECT_EQ(ErrorOf(bytes.substr(0, 40)), "the file ends inside the name (at byte 40)");
    EXPECT_EQ(ErrorOf(bytes.substr(0, bytes.size() - 3)),
              "the file ends inside the instructions (at byte " + std::to_string(bytes.size() - 3) +
                  ")");
}

TEST(As10k1Patch, RejectsFilesThatDoNotHangTogether) {
    std::string good = WriteAs10k1Patch(Small());
    ASSERT_TRUE(ParseAs10k1Patch(good).patch);

    EXPECT_EQ(ErrorOf("EMU10K1 FX8010 2" + good.substr(16)),
              "not an as10k1 patch: it does not start with \"EMU10K1 FX8010 1\"");
    EXPECT_EQ(ErrorOf(good + "xyz"), "3 stray bytes after the last instruction");

    As10k1Patch p = Small();
    p.dynamic = {1};
    EXPECT_EQ(ErrorOf(WriteAs10k1Patch(p)), "GPR 0x101 is declared twice");

    p = Small();
    p.tables = {{10, {{0, 3}}, {}}};
    EXPECT_EQ(ErrorOf(WriteAs10k1Patch(p)), "TRAM register 0 is declared twice");

    p = Small();
    p.delays[0].reads[0].offset = 100;
    EXPECT_EQ(ErrorOf(WriteAs10k1Patch(p)),
              "a tap at 100 lies outside its delay line of 100 samples");

    p = Small();
    p.tables = {{0, {}, {}}};
    EXPECT_EQ(ErrorOf(WriteAs10k1Patch(p)), "a lookup table of 0 samples; expected 1 to 1048576");

    p = Small();
    p.code.push_back(As10k1Instr(0, 0x100, 0x102, 0x040, 0x040));
    EXPECT_EQ(ErrorOf(WriteAs10k1Patch(p)),
              "instruction 2 uses GPR 0x102, which the patch does not declare");

    p = Small();
    p.code.push_back(As10k1Instr(0, 0x100, 0x040, 0x3A0, 0x040));
    EXPECT_EQ(ErrorOf(WriteAs10k1Patch(p)),
              "instruction 2 uses TRAM register 160, which no delay line or table declares");

    p = Small();
    p.code[1].high |= 0x01000000;
    EXPECT_EQ(ErrorOf(WriteAs10k1Patch(p)), "instruction 1 has bits outside its fields");
}

TEST(As10k1Patch, NamesAreCutAtTheirEndAndShownPrintable) {
    As10k1Patch p = Small();
    p.name = std::string("a\x01z\0hidden", 10);
    As10k1PatchResult r = ParseAs10k1Patch(WriteAs10k1Patch(p));
    ASSERT_TRUE(r.patch) << r.error;
    EXPECT_EQ(r.patch->name, "a?z");
}

} // namespace
