// A program written in as10k1, assembled with its debug dump and loaded with
// --names: the listing shows its names where the placement put them, and
// after a reload that places it elsewhere, F5 shows them at their new places.
#include "listing_language_setup.h"
#include "microcode_window.h"
#include "program_symbols.h"
#include "support/emuapsctl_run.h"
#include "support/service_process.h"
#include "support/temp_dir.h"
#include "symbol_table.h"
#include "zendra.h"

#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

const std::string kProgram = "\tname\t\"stereo-delay\"\n"
                             "C_0\tequ\t$040\n"
                             "left\tIO\n"
                             "fb\tcontrol\t0.5,0,0.9\n"
                             "wet\tcontrol\t0.5,0,1\n"
                             "dry\tcontrol\t0.5,0,1\n"
                             "mixd\tdyn\n"
                             "CCR\tdyn\n" // Symbols/8010.d's name of operand 0x057
                             "dl\tdelay\t&0.1\n"
                             "wl\ttwrite\tdl,0\n"
                             "rl\ttread\tdl,&0.05\n"
                             "\tmacs\twl,left,rl,fb\n"
                             "\tmacs\tmixd,C_0,left,dry\n"
                             "\tmacs\tleft,mixd,rl,wet\n"
                             "\tend\n";

// An empty chip, then one whose program already uses GPRs 0x100-0x10F.
const std::string kEmpty = "emuaps-chip-image 1\n";
const std::string kBusy = "emuaps-chip-image 1\n"
                          "instr 0 ACC3 0x100 0x101 0x102 0x103\n"
                          "instr 1 ACC3 0x104 0x105 0x106 0x107\n"
                          "instr 2 ACC3 0x108 0x109 0x10A 0x10B\n"
                          "instr 3 ACC3 0x10C 0x10D 0x10E 0x10F\n";

int NameAddress(const std::string& name) {
    const int32_t* value = ProgramSymbols().ValueByName().find(name);
    return value ? *value : -1;
}

// Every listing line whose raw operands hold address shows name instead.
void ExpectNamedInListing(QsciScintilla* view, const std::string& name) {
    const int address = NameAddress(name);
    ASSERT_GT(address, 0) << name << " is not in the program's names";
    char hex[8];
    std::snprintf(hex, sizeof hex, " %03X", address);
    int uses = 0;
    for (int line = 0; line < 512; ++line) {
        const std::string text = view->text(line).toStdString();
        const std::size_t comment = text.find("//");
        if (comment == std::string::npos || text.find(hex, comment) == std::string::npos)
            continue;
        ++uses;
        EXPECT_NE(text.substr(0, comment).find(name), std::string::npos) << text;
    }
    EXPECT_GT(uses, 0) << name << " at " << hex << " is used by no instruction";
}

TEST(ProgramNamesListing, ShowsTheProgramsNamesAtTheirPlacedAddressesAcrossAReload) {
    TempDir folder;
    const std::string asm_ = folder.write("delay.asm", kProgram);
    const std::string patch = folder.path() + "/delay.emu10k1", dump = folder.path() + "/delay.dbg";
    ASSERT_EQ(std::system(("as10k1 -d gti -o " + patch + " " + asm_ + " > " + dump).c_str()), 0)
        << "as10k1 (alsa-tools) is needed";
    const std::string runtime = folder.path() + "/run";
    ASSERT_EQ(std::system(("mkdir -m 700 " + runtime).c_str()), 0);
    const std::string image = folder.write("chip.chip", kEmpty);
    const std::string log = folder.path() + "/log";
    ServiceProcess service(runtime, image, log, {"--patch", patch, "--names", dump});
    ASSERT_TRUE(service.waitForLog("names: left "));
    EXPECT_TRUE(service.waitForLog("names: refused 'CCR' for 0x1"));
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    ASSERT_EQ(ifInitApsIo(), 0);
    RegisterShippedListingLanguageOnce();

    QAction entry("Micro&code Memory");
    entry.setCheckable(true);
    entry.setChecked(true);
    MicrocodeWindow window(&entry);
    auto* view = window.findChild<QsciScintilla*>("CodeView");
    ASSERT_TRUE(view);
    const int firstFb = NameAddress("fb");
    for (const char* name : {"fb", "wet", "dry", "mixd", "wl", "rl", "left"})
        ExpectNamedInListing(view, name);
    // emuapsctl's words go to the service, which knows the same names and
    // answers by them; fb's control value 0.5 is 0x3FFFFFFF.
    char fb[32];
    std::snprintf(fb, sizeof fb, "fb (0x%03X) = 0x3FFFFFFF", firstFb);
    EmuapsctlSaid said = RunEmuapsctl(runtime, "get fb");
    EXPECT_EQ(said.status, 0) << said.text;
    EXPECT_EQ(said.text.rfind(fb, 0), 0u) << said.text;
    said = RunEmuapsctl(runtime, "get C_C0000000");
    EXPECT_EQ(said.text, "emuapsctl: C_C0000000 is a DSP constant, not a chip register\n");

    folder.write("chip.chip", kBusy);
    service.reload();
    ASSERT_TRUE(service.waitForLog("reloaded"));
    QApplication::setActiveWindow(&window);
    view->setFocus();
    QTest::keyClick(view, Qt::Key_F5);
    EXPECT_NE(NameAddress("fb"), firstFb) << "the reload should have moved the patch";
    for (const char* name : {"fb", "wet", "dry", "mixd", "wl", "rl", "left"})
        ExpectNamedInListing(view, name);
}

} // namespace
