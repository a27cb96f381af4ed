// A patch given as its as10k1 source: what it places against the assembled
// patch and dump, the line of each instruction against as10k1's own listing,
// the answers that name lines, and the refusals.
#include "as10k1_listing.h"
#include "as10k1_source.h"
#include "control_verbs.h"
#include "listing_lines.h"
#include "loaded_program.h"
#include "names_note.h"
#include "operand_names_file.h"
#include "source_map_file.h"
#include "support/emuapsctl_run.h"
#include "support/file_text.h"
#include "support/service_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>

namespace {

const std::string kSource = VELMORA_SOURCE_DIR;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A source line's words joined by single blanks.
std::string Words(const std::string& line) {
    std::istringstream in(line);
    std::string word, joined;
    while (in >> word)
        joined += (joined.empty() ? "" : " ") + word;
    return joined;
}

// What as10k1 makes of a copy of source in dir: X.emu10k1, X.dbg, X.lst.
std::string Assembled(const TempDir& dir, const std::string& source) {
    const std::string name = source.substr(source.rfind('/') + 1);
    const std::string base = name.substr(0, name.size() - 4);
    dir.write(name, FileText(source));
    const std::string command = "cd '" + dir.path() + "' && as10k1 -l " + base + ".lst -d gti -o " +
                                base + ".emu10k1 " + name + " > " + base + ".dbg";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return dir.path() + "/" + base;
}

// The listing's oracle: the k-th listed line is line k of a source without
// includes or macros; each instruction's line and text, in order.
struct Listed {
    uint32_t line;
    std::string text;
};
std::vector<Listed> ListedInstructions(const std::string& listing, uint32_t* inputs) {
    std::vector<Listed> out;
    std::istringstream in(listing);
    uint32_t record = 0;
    for (std::string line; std::getline(in, line);) {
        *inputs += line.find(" IN: 0x") != std::string::npos;
        if (line.size() < 53 || line.substr(51, 2) != "||")
            continue;
        ++record;
        if (line.starts_with("0x"))
            out.push_back({record, line.substr(56)});
    }
    return out;
}

const TakenNames& Taken() {
    static const TakenNames taken = [] {
        std::string why;
        return NamesTaken(ReadOperandNames(kSource + "/Symbols/8010.d", &why));
    }();
    return taken;
}

// The chip address of the patch's first own instruction, from the log.
uint32_t CodeStart(const std::string& summary, uint32_t inputs) {
    std::smatch m;
    EXPECT_TRUE(std::regex_search(summary, m, std::regex("instructions (\\d+)-"))) << summary;
    return m.empty() ? 0 : uint32_t(std::stoul(m[1])) + inputs;
}

TEST(SourcePatch, AsmPlacesWhatItsPatchAndDumpPlaceEachLineAsListed) {
    const std::string demoChip = kSource + "/driver/images/demo.chip";
    for (const char* asm_ : {"/driver/images/echo.asm", "/driver/images/demo-chorus-echo.asm",
                             "/tests/driver/data/probe.asm"})
        for (const std::string& image : {std::string(), demoChip}) {
            SCOPED_TRACE(std::string(asm_) + " on " + (image.empty() ? "the empty chip" : image));
            TempDir dir;
            const std::string base = Assembled(dir, kSource + asm_);
            LoadedProgram fromSource, fromPatch;
            const ChipImageResult a =
                LoadChipWithPatch(image, base + ".asm", "", &fromSource, Taken());
            const ChipImageResult b =
                LoadChipWithPatch(image, base + ".emu10k1", base + ".dbg", &fromPatch, Taken());
            ASSERT_TRUE(a.image && b.image) << a.describe() << " / " << b.describe();
            EXPECT_TRUE(*a.image == *b.image); // registers, TRAM and microcode words
            EXPECT_EQ(fromSource.symbols, fromPatch.symbols);
            EXPECT_EQ(fromSource.summary, fromPatch.summary);
            EXPECT_EQ(fromSource.controls.size(), fromPatch.controls.size());
            EXPECT_TRUE(fromPatch.source.empty());
            // A source brings every name: no dump to point to.
            EXPECT_EQ(NamesNote(base + ".asm", "", fromSource, ""), "");

            uint32_t inputs = 0;
            const std::vector<Listed> listed = ListedInstructions(FileText(base + ".lst"), &inputs);
            const uint32_t start = CodeStart(fromSource.summary, inputs);
            const SourceMap& map = fromSource.source;
            ASSERT_EQ(map.places.size(), listed.size());
            for (std::size_t i = 0; i < listed.size(); ++i) {
                const SourcePlace& p = map.places[i];
                EXPECT_EQ(p.address, start + i);
                EXPECT_EQ(p.line, listed[i].line) << "instruction " << i;
                EXPECT_EQ(map.files[p.file].lines[p.line - 1], listed[i].text);
            }
            // What clients read of it beside the socket is the same map.
            const SourceMapRead back = ParseSourceMap(SourceMapText(map));
            ASSERT_TRUE(back.map) << back.error;
            EXPECT_TRUE(*back.map == map);
        }
}

// The walk-through's echo, loaded as source on the empty chip, with the
// verbs over it as emuapsd serves them.
struct EchoServed {
    TempDir dir;
    std::string base = Assembled(dir, kSource + "/driver/images/echo.asm");
    SimulatedChip chip;
    LoadedProgram loaded;
    ControlContext context;
    EchoServed() {
        const ChipImageResult r = LoadChipWithPatch("", base + ".asm", "", &loaded, Taken());
        EXPECT_TRUE(r.image) << r.describe();
        if (r.image)
            chip.Load(*r.image);
        context.chip = &chip;
        context.names = [this] {
            std::string why;
            return RegisterNames(ReadOperandNames(kSource + "/Symbols/8010.d", &why),
                                 ProgramRegisterNames(loaded.names));
        };
        context.source = [this] { return loaded.source; };
    }
    ControlAnswer Ask(const std::string& line) { return RunControlVerb(context, line); }
};

TEST(SourcePatch, BreakOnEachLineAndEveryAnswerNamesItAsListed) {
    EchoServed s;
    uint32_t inputs = 0;
    const std::vector<Listed> listed = ListedInstructions(FileText(s.base + ".lst"), &inputs);
    const uint32_t start = CodeStart(s.loaded.summary, inputs);
    ASSERT_EQ(s.Ask("stop").status, 0);
    std::vector<std::string> wrong;
    auto expect = [&wrong](const ControlAnswer& a, const std::string& part) {
        if (a.status != 0 || !Has(a.text, part))
            wrong.push_back("'" + part + "' not in " + std::to_string(a.status) + " " + a.text);
    };
    for (std::size_t i = 0; i < listed.size(); ++i) {
        char address[8];
        std::snprintf(address, sizeof address, "0x%03X", unsigned(start + i));
        const std::string line = std::to_string(listed[i].line);
        const std::string named =
            std::string(address) + " echo.asm:" + line + " " + Words(listed[i].text);
        expect(s.Ask("break echo.asm:" + line), "break at instruction " + named + " in sample");
        expect(s.Ask("status"), "; next instruction " + named);
        if (Has(listed[i].text, "fb")) // the one reader of fb
            expect(s.Ask("set fb 0.3"), "instruction " + named + " reads it next");
        expect(s.Ask("step"), "stepped " + named + ": R ");
        expect(s.Ask("break " + line + " --for 0.001"), "break at instruction " + named);
    }
    EXPECT_TRUE(wrong.empty()) << ::testing::PrintToString(wrong);
}

struct Refusal {
    const char* what;
    std::function<std::string()> message;
    std::vector<std::string> parts;
};

TEST(SourcePatch, RefusalsSayWhyAndWhere) {
    EchoServed s;
    auto load = [&s](const std::string& patch, const std::string& names = "") {
        LoadedProgram loaded;
        const ChipImageResult r = LoadChipWithPatch("", patch, names, &loaded, Taken());
        return r.image ? std::string("loaded") : r.describe();
    };
    const std::string listing = FileText(s.base + ".lst");
    auto listed = [&listing](const std::string& from, const std::string& to) {
        std::string edited = listing;
        edited.replace(edited.find(from), from.size(), to);
        return ParseAs10k1Listing(edited).error;
    };
    const std::string bad =
        s.dir.write("bad.asm", "\tname \"bad\"\nx\tdyn\n\tmacs x,x,zz,x\n\tend\n");
    const std::vector<Refusal> rows = {
        {"as10k1 missing",
         [&] {
             const std::string path = std::getenv("PATH");
             setenv("PATH", s.dir.path().c_str(), 1);
             const std::string said = load(s.base + ".asm");
             setenv("PATH", path.c_str(), 1);
             return said;
         },
         {"as10k1 is not on PATH", "alsa-tools"}},
        {"as10k1 that hangs",
         [&] {
             std::filesystem::create_directory(s.dir.path() + "/hangs");
             const std::string fake = s.dir.write("hangs/as10k1", "#!/bin/sh\nexec sleep 60\n");
             std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
             const std::string path = std::getenv("PATH");
             setenv("PATH", (s.dir.path() + "/hangs:" + path).c_str(), 1);
             const auto start = std::chrono::steady_clock::now();
             const std::string said =
                 RunAs10k1(s.base + ".asm", std::chrono::milliseconds(200)).error;
             setenv("PATH", path.c_str(), 1);
             const bool stopped =
                 std::chrono::steady_clock::now() - start < std::chrono::seconds(30);
             return stopped ? said : "it ran its whole minute";
         },
         {"as10k1 did not finish within 0.2 s and was stopped"}},
        {"source that does not assemble", [&] { return load(bad); }, {bad + ":3: ", "\"zz\""}},
        {"source with --names",
         [&] { return load(s.base + ".asm", s.base + ".dbg"); },
         {"--names goes with a binary patch"}},
        {"a line that made nothing",
         [&] { return s.Ask("break echo.asm:12").text; },
         {"echo.asm:12 made no instruction; the nearest lines that did are echo.asm:14"}},
        {"a line between",
         [&] { return s.Ask("break 20").text; },
         {"nearest lines that did are echo.asm:19"}},
        {"a file not in the source",
         [&] { return s.Ask("break other.asm:3").text; },
         {"has no file other.asm (it has echo.asm)"}},
        {"listing with a gap",
         [&] { return listed("0x002   MACS", "0x006   MACS"); },
         {"listing line 15: instruction at 0x006"}},
        {"listing without a summary",
         [&] { return listed("Summary:", "Summary"); },
         {"no 'Summary:'"}},
        {"listing with a strange column",
         [&] { return listed("0x000   MACS", "0xZZ0   MACS"); },
         {"listing line 14: ", "does not start with an address"}},
        {"map file cut short",
         [&] { return ParseSourceMap("velmora source map 1\nfile e.asm 3\n|a\n").error; },
         {"line 2: the file has fewer lines"}},
        {"map line past its file",
         [&] {
             return ParseSourceMap("velmora source map 1\nfile e.asm 1\n|a\nat 0x001 0 2\n").error;
         },
         {"line 4: the instruction's line is not in its file"}},
    };
    for (const Refusal& row : rows) {
        const std::string said = row.message();
        for (const std::string& part : row.parts)
            EXPECT_TRUE(Has(said, part)) << row.what << ": '" << part << "' not in: " << said;
    }
}

// The one row through the processes: the map beside the socket, and list
// around the line the chip executes next, as the file has it.
TEST(SourcePatch, EmuapsdWritesTheMapAndEmuapsctlListsAroundTheNextLine) {
    TempDir dir;
    const std::string base = Assembled(dir, kSource + "/driver/images/echo.asm");
    const std::string map = dir.path() + "/emuaps.lines";
    {
        ServiceProcess service(dir.path(), kSource + "/driver/images/demo.chip",
                               dir.path() + "/log", {"--patch", base + ".asm"});
        ASSERT_TRUE(service.waitForLog("control at"));
        EXPECT_EQ(RunEmuapsctl(dir.path(), "break echo.asm:16").status, 0);
        const std::vector<std::string> lines = TextLines(FileText(base + ".asm"));
        std::string around;
        for (uint32_t l = 11; l <= 20; ++l)
            around += (l == 16 ? "=> " : "   ") + std::to_string(l) + "\t" + lines[l - 1] + "\n";
        EXPECT_EQ(RunEmuapsctl(dir.path(), "list").text, around);
        const SourceMapRead read = ReadSourceMapFile(map);
        ASSERT_TRUE(read.map) << read.error;
        EXPECT_EQ(read.map->places.size(), 6u);
        EXPECT_EQ(service.stop(), 0);
    }
    EXPECT_FALSE(std::filesystem::exists(map)) << "the map goes with the service";
}

} // namespace
