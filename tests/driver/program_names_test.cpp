// The names of an as10k1 program, from its patch and from the assembler's
// debug dump, at the addresses the placement gave them; and the dumps that
// are refused while the patch still loads.
#include "loaded_program.h"
#include "operand_names_file.h"
#include "support/file_text.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string kImages = std::string(VELMORA_SOURCE_DIR) + "/driver/images/";
const std::string kDemoChip = kImages + "demo.chip";
const std::string kDemoPatch = kImages + "demo-chorus-echo.emu10k1";
const std::string kDemoDump = kImages + "demo-chorus-echo.dbg";

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The demo's dump with the first `from` replaced by `to`.
std::string Edited(std::string dump, const std::string& from, const std::string& to) {
    return dump.replace(dump.find(from), from.size(), to);
}

// The demo patch on the demo chip takes GPRs 0x11A-0x128 in the order inputs
// and outputs, dynamic, static, control, and its chorus taps at TRAM
// registers 0x207 (write) and 0x208 (read).
TEST(ProgramNames, TheDumpNamesEveryGprAndTapWhereThePlacementPutThem) {
    LoadedProgram loaded;
    ChipImageResult r = LoadChipWithPatch(kDemoChip, kDemoPatch, kDemoDump, &loaded);
    ASSERT_TRUE(r.image) << r.describe();
    EXPECT_FALSE(Has(loaded.summary, "refused")) << loaded.summary;
    for (const char* line :
         {"left 0x11a // chorus-echo: Input", "left.o 0x11b // chorus-echo: Output",
          "fback 0x128 // chorus-echo: Control", "wet 0x120 // chorus-echo: Dynamic",
          "cw 0x207 // chorus-echo: TRAM data", "cr.a 0x308 // chorus-echo: TRAM address"})
        EXPECT_TRUE(Has(loaded.symbols, line)) << line << " in\n" << loaded.symbols;
    EXPECT_TRUE(Has(loaded.symbols, "[VIRTUAL]\n"));
    EXPECT_TRUE(Has(loaded.summary, "names: left 0x11A, left.o 0x11B")) << loaded.summary;

    // Without a dump, the patch file's own control names.
    ASSERT_TRUE(LoadChipWithPatch(kDemoChip, kDemoPatch, "", &loaded).image);
    EXPECT_TRUE(Has(loaded.symbols, "rate 0x123 // chorus-echo: Control")) << loaded.symbols;
    EXPECT_FALSE(Has(loaded.symbols, "wet "));
}

TEST(ProgramNames, ADumpThatIsNotThePatchsIsRefusedAndThePatchStillLoads) {
    TempDir dir;
    const std::string dump = FileText(kDemoDump);
    std::string renamed = dump, cut = dump.substr(0, dump.find("TRAM Access: lw")), swapped = dump;
    renamed.replace(renamed.find("chorus-echo"), 11, "other-patch");
    swapped.replace(swapped.find("0x10a,0x10a,0x104,0x10b"), 23, "0x10a,0x10a,0x104,0x10c");
    const std::string fifo = dir.path() + "/fifo.dbg";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = dir.write("huge.dbg", "");
    ASSERT_EQ(truncate(huge.c_str(), off_t(64) << 20), 0);
    struct Case {
        std::string path, reason;
    } cases[] = {
        {dir.write("other.dbg", renamed), "it names patch 'other-patch'"},
        {dir.write("cut.dbg", cut), "it has 2 TRAM accesses, the patch 4"},
        {dir.write("midline.dbg", dump.substr(0, dump.find("Value=0x0009d495"))),
         "line 7: a GPR line"},
        {dir.write("swapped.dbg", swapped), "instruction 0 differs"},
        {dir.write("away.dbg", Edited(dump, "mono             0x10d", "mono 0x1f0")),
         "its Dynamic GPR 'mono' is at 0x1F0, which the patch does not have"},
        {dir.write("kind.dbg", Edited(Edited(dump, "Static", "Dynamic"),
                                      "0x10c Value=0x00000000, Type: Dynamic",
                                      "0x10c Value=0x00000000, Type: Static")),
         "its Dynamic GPR 'sinx' is at 0x10A, the patch's Static GPR"},
        {dir.write("taps.dbg", Edited(dump, "0x303/0x203", "0x305/0x205")),
         "its TRAM read 'lr' uses 0x305/0x205, which the patch does not have"},
        {dir.write("way.dbg", Edited(dump, "type: Write, using 0x300", "type: Read, using 0x300")),
         "its TRAM read 'cw' uses 0x300/0x200, the patch's TRAM write"},
        {dir.write("garbage.dbg",
                   "Patch name:\"chorus-echo\"\nGPR: x 0x999 Value=0, Type: Input\n"),
         "line 2: a GPR line needs"},
        {dir.write("plain.txt", "hello\n"), "not an as10k1 dump"},
        {fifo, "FIFO"},
        {huge, "too large"},
        {dir.path() + "/missing.dbg", "No such file"},
    };
    for (const Case& c : cases) {
        LoadedProgram loaded;
        ChipImageResult r = LoadChipWithPatch(kDemoChip, kDemoPatch, c.path, &loaded);
        ASSERT_TRUE(r.image) << c.path << ": " << r.describe();
        EXPECT_TRUE(Has(loaded.summary, "names: refused " + c.path + ": ")) << loaded.summary;
        EXPECT_TRUE(Has(loaded.summary, c.reason)) << loaded.summary;
        // The patch's own names still land.
        EXPECT_TRUE(Has(loaded.symbols, "fback 0x128")) << c.path;
        EXPECT_FALSE(Has(loaded.symbols, "wet ")) << c.path;
    }
}

// Names that are no plain identifiers, that Symbols/8010.d or the chip give
// another register, or that a second register takes are each refused with a
// line; the others land.
TEST(ProgramNames, OnlyPlainIdentifiersThatNameNothingElseArePublished) {
    TempDir dir;
    std::string dump = FileText(kDemoDump);
    for (auto [from, to] : {std::pair{"mono ", "[mono"},
                            {"wet ", "w/*t"},
                            {"sweep", "CCR  "},
                            {"sinx", "DBG "},
                            {"cosx", "left"}})
        dump = Edited(dump, from, to);
    std::string why;
    const TakenNames taken =
        NamesTaken(ReadOperandNames(std::string(VELMORA_SOURCE_DIR) + "/Symbols/8010.d", &why));
    LoadedProgram loaded;
    ASSERT_TRUE(
        LoadChipWithPatch(kDemoChip, kDemoPatch, dir.write("d.dbg", dump), &loaded, taken).image);
    for (const char* line : {"names: refused '[mono' for 0x11F: not a plain identifier",
                             "names: refused 'w/*t' for 0x120: not a plain identifier",
                             "names: refused 'CCR' for 0x11E: it is Symbols/8010.d's name of 0x057",
                             "names: refused 'DBG' for 0x121: it is the chip's register 0x052",
                             "names: refused 'left' for 0x122: it names 0x11A already"})
        EXPECT_TRUE(Has(loaded.summary, line)) << line << " in\n" << loaded.summary;
    for (const char* gone : {"mono", "w/*t", "CCR", "DBG", "left 0x122"})
        EXPECT_FALSE(Has(loaded.symbols, gone)) << gone << " in\n" << loaded.symbols;
    for (const char* kept : {"left 0x11a", "fback 0x128", "lr.a 0x3", "[VIRTUAL]\nleft "})
        EXPECT_TRUE(Has(loaded.symbols, kept)) << kept << " in\n" << loaded.symbols;
    EXPECT_EQ(loaded.names.size(), 18u);
}

} // namespace
