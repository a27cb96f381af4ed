// The RIFX reader on libraries built by fxlib: finding effect programs in the
// raw bytes, reading their chunks, and the clear outcome of broken ones.
#include "chunk_header.h"
#include "fx_dll_reader.h"
#include "fx_library_builder.h"
#include "fx_library_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace {

using Words = std::vector<int32_t>;

std::vector<int64_t> Offsets(const FxDllReader& reader) {
    std::vector<int64_t> offsets;
    for (const EffectEntry& entry : reader.Directory())
        offsets.push_back(entry.Offset);
    return offsets;
}

std::vector<std::string> Names(const FxDllReader& reader) {
    std::vector<std::string> names;
    for (const EffectEntry& entry : reader.Directory())
        names.push_back(entry.Name);
    return names;
}

bool Same(const MicrocodeInstruction& i, std::vector<int32_t> fields) {
    return std::vector<int32_t>{i.Opcode, i.A, i.X, i.Y, i.R} == fields;
}

// Scans a library whose only effect program is `body` (a rifx block).
int32_t ScanOne(FxDllReader& reader, const TempDir& dir, const std::string& body) {
    return reader.Scan(WriteLibrary(dir, "filler 100\n" + body + "filler 50\n"));
}

// --- Finding effect programs ---------------------------------------------

TEST(FindingEffects, ListsEveryEffectInFileOrderAtItsSignature) {
    TempDir dir;
    FxDllReader reader;
    std::string path =
        WriteLibrary(dir, "filler 1000\n" + FullEffect("Echo") + "filler 70000\n" +
                              TinyEffect("Chorus") + "filler 3\n" + TinyEffect("Mixer"));
    ASSERT_EQ(reader.Scan(path), kEffectsDone);
    EXPECT_EQ(Names(reader), (std::vector<std::string>{"Echo", "Chorus", "Mixer"}));
    std::vector<int64_t> offsets = Offsets(reader);
    ASSERT_EQ(offsets.size(), 3u);
    EXPECT_EQ(offsets[0], 1000);
    // Check each offset against the bytes themselves.
    std::string bytes =
        BuildEffectsLibrary("filler 1000\n" + FullEffect("Echo") + "filler 70000\n" +
                            TinyEffect("Chorus") + "filler 3\n" + TinyEffect("Mixer"));
    for (int64_t offset : offsets)
        EXPECT_EQ(bytes.substr(static_cast<std::size_t>(offset), 4), "RIFX");
    // After the scan the last effect of the file is the current one.
    EXPECT_EQ(reader.Current().rsrc, Words{1});
    EXPECT_TRUE(reader.Current().code.empty());
}

TEST(FindingEffects, FindsASignatureAroundEveryWindowEdge) {
    // The windows start at 0, 32764, 65528, ...: a signature that begins in
    // the last three bytes of one window is found through the next.
    for (int64_t at : {32760, 32761, 32762, 32763, 32764, 32765, 32766, 32767, 32768, 65525, 65526,
                       65527, 65528, 98291, 98292}) {
        TempDir dir;
        FxDllReader reader;
        std::string path =
            WriteLibrary(dir, "filler " + std::to_string(at) + "\n" + TinyEffect("Edge"));
        EXPECT_EQ(reader.Scan(path), kEffectsDone) << at;
        EXPECT_EQ(Offsets(reader), std::vector<int64_t>{at}) << at;
    }
}

TEST(FindingEffects, SkipsAForeignFormAndResumesFourBytesOn) {
    TempDir dir;
    FxDllReader reader;
    // A WAVE block is passed over; a signature 4 bytes after a foreign one
    // (it is that one's size field) is still seen.
    std::string path = WriteLibrary(dir, R"(filler 40
rifx WAVE
  chunk data 01 02 03 04
end
filler 10
bytes "RIFX"
)" + TinyEffect("Inner"));
    ASSERT_EQ(reader.Scan(path), kEffectsDone);
    EXPECT_EQ(Names(reader), std::vector<std::string>{"Inner"});
    EXPECT_EQ(Offsets(reader), std::vector<int64_t>{40 + 24 + 10 + 4});
}

TEST(FindingEffects, ResumesRightAfterTheCkidHeaderNotAfterTheBlock) {
    TempDir dir;
    FxDllReader reader;
    // An effect program whose rsrc words spell a whole second one: the search
    // goes on inside the first block and finds the second as well.
    std::string inner = BuildEffectsLibrary(TinyEffect("Inner", 7));
    ASSERT_EQ(inner.size() % 2, 0u);
    std::string words;
    for (unsigned char c : inner)
        words.append(" ")
            .append(1, "0123456789ABCDEF"[c >> 4])
            .append(1, "0123456789ABCDEF"[c & 15]);
    std::string path = WriteLibrary(
        dir, "filler 9\nrifx\n  ckid \"a\" \"b\" \"Outer\"\n  chunk rsrc" + words + "\nend\n");
    ASSERT_EQ(reader.Scan(path), kEffectsDone);
    EXPECT_EQ(Names(reader), (std::vector<std::string>{"Outer", "Inner"}));
    EXPECT_EQ(reader.Current().rsrc, Words{7});
}

TEST(FindingEffects, ListsMoreThanThirtyTwoEffects) {
    TempDir dir;
    FxDllReader reader;
    std::string description;
    for (int i = 0; i < 40; ++i)
        description += "filler 64\n" + TinyEffect("fx" + std::to_string(i), i);
    ASSERT_EQ(reader.Scan(WriteLibrary(dir, description)), kEffectsDone);
    ASSERT_EQ(reader.Directory().size(), 40u);
    EXPECT_EQ(reader.Directory()[39].Name, "fx39");
    EXPECT_EQ(reader.Parse(35), kEffectsDone);
    EXPECT_EQ(reader.Current().rsrc, Words{35});
}

TEST(FindingEffects, NothingToFind) {
    TempDir dir;
    FxDllReader reader;
    // No signature, a foreign block, and a signature too close to the end to
    // hold a form type: none of them is an effect program.
    std::string path =
        WriteLibrary(dir, "filler 5000\nrifx WAVE\nend\nfiller 20\nbytes \"RIFX\" 00 "
                          "00 00 04 \"PTX\"\n");
    EXPECT_EQ(reader.Scan(path), kNoEffectProgram);
    EXPECT_TRUE(reader.Directory().empty());
    EXPECT_EQ(reader.Parse(0), kParseStopped);

    EXPECT_EQ(reader.Scan(WriteLibrary(dir, "", "empty.dll")), kNoEffectProgram);
    EXPECT_EQ(reader.Scan(dir.path() + "/missing.dll"), kNoEffectProgram);
    EXPECT_EQ(reader.Scan(dir.path()), kNoEffectProgram); // a folder, not a file
    EXPECT_TRUE(reader.Directory().empty());
}

TEST(FindingEffects, AnEffectNotOpenedByCkidEndsTheScan) {
    TempDir dir;
    FxDllReader reader;
    std::string path = WriteLibrary(dir, TinyEffect("First") + R"(filler 30
rifx
  rsrc 1
  ckid "a" "b" "Late"
end
)" + TinyEffect("Never"));
    EXPECT_EQ(reader.Scan(path), kEffectMalformed);
    // The broken entry stays, without a name; what follows is not found.
    EXPECT_EQ(Names(reader), (std::vector<std::string>{"First", ""}));
}

TEST(FindingEffects, AFailedParseKeepsTheLaterEntriesUnparsed) {
    TempDir dir;
    FxDllReader reader;
    std::string path = WriteLibrary(dir, TinyEffect("One", 1) +
                                             "rifx\n  ckid \"a\" \"b\" \"Two\"\n  rsrc 2\n  "
                                             "chunk junk 00 00\nend\n" +
                                             TinyEffect("Three", 3));
    EXPECT_EQ(reader.Scan(path), kEffectMalformed);
    EXPECT_EQ(Names(reader), (std::vector<std::string>{"One", "Two", "Three"}));
    // The scan stopped in effect Two: its tables up to the bad chunk are current.
    EXPECT_EQ(reader.Current().rsrc, Words{2});
    EXPECT_EQ(reader.Parse(2), kEffectsDone);
    EXPECT_EQ(reader.Current().rsrc, Words{3});
}

TEST(FindingEffects, NamesComeFromTheThirdCkidString) {
    TempDir dir;
    FxDllReader reader;
    std::string path = WriteLibrary(dir, R"(
rifx
  ckid "" "" "Blank firsts" "and a fourth"
end
rifx
  ckid "only" "two"
end
rifx
  chunk ckid "no NUL at all"
end
rifx
  chunk ckid "a" 00 "b" 00 "Unended"
end
rifx
  ckid "x" "y" ""
end
)");
    ASSERT_EQ(reader.Scan(path), kEffectsDone);
    EXPECT_EQ(Names(reader),
              (std::vector<std::string>{"Blank firsts", "(unnamed effect 2)", "(unnamed effect 3)",
                                        "Unended", "(unnamed effect 5)"}));
}

// --- Reading the chunks ---------------------------------------------------

TEST(ParsingEffects, ReadsEveryTable) {
    TempDir dir;
    FxDllReader reader;
    ASSERT_EQ(ScanOne(reader, dir, FullEffect("Full")), kEffectsDone);
    const EffectTables& t = reader.Current();
    EXPECT_EQ(t.rsrc, (Words{1, 2}));
    EXPECT_EQ(t.gprs, (Words{0, 32768, 65535})); // never negative
    EXPECT_EQ(t.tram, Words{0x10});
    EXPECT_EQ(t.xtra, (Words{0x20, 0x21}));
    EXPECT_EQ(t.inp, (Words{0, 1}));
    EXPECT_EQ(t.outp, Words{0x20});
    EXPECT_EQ(t.iscl, Words{0x7FFF});
    EXPECT_EQ(t.wscl, (Words{0x4000, 0x4001}));
    ASSERT_EQ(t.code.size(), 3u);
    EXPECT_TRUE(Same(t.code[0], {6, 0x40, 0x100, 0x101, 0x102}));
    // Operands keep all 16 bits; the opcode all 8.
    EXPECT_TRUE(Same(t.code[1], {0xF, 0xFFFF, 0x8000, 0x3FF, 0x400}));
    EXPECT_TRUE(Same(t.code[2], {0xFF, 1, 2, 3, 4}));
}

TEST(ParsingEffects, PadBytesFollowOddCkidAndCodeButNeverWordLists) {
    TempDir dir;
    FxDllReader reader;
    // ckid of 11 bytes, code of 19 bytes (two whole entries and one spare
    // byte), a word list of 5 bytes (two whole words): each is followed by
    // the next chunk exactly where the reader must look for it.
    ASSERT_EQ(ScanOne(reader, dir, R"(rifx
  ckid "FX" "1" "Pads"
  chunk code 01 00 02 00 03 00 04 00 05  02 00 06 00 07 00 08 00 09  EE
  chunk rsrc 12 34 56
  list gpri
    chunk gprs 00 01 02 03 7F
    tram 0x0010
  end
end
)"),
              kEffectsDone);
    const EffectTables& t = reader.Current();
    ASSERT_EQ(t.code.size(), 2u);
    EXPECT_TRUE(Same(t.code[1], {2, 6, 7, 8, 9}));
    EXPECT_EQ(t.gprs, (Words{0x0001, 0x0203}));
    EXPECT_EQ(t.tram, Words{0x10});
    EXPECT_EQ(t.rsrc, Words{0x1234});
}

TEST(ParsingEffects, AbsentOrEmptyChunksLeaveEmptyListsAndRepeatsReplace) {
    TempDir dir;
    FxDllReader reader;
    ASSERT_EQ(ScanOne(reader, dir, R"(rifx
  ckid "FX" "1" "Sparse"
  rsrc 5 6 7
  list gpri
    tram 1
    tram 9 8
    gprs
  end
  list patc
    list scal
    end
  end
  code
  end
  rsrc 4
end
)"),
              kEffectsDone);
    const EffectTables& t = reader.Current();
    EXPECT_EQ(t.rsrc, Words{4});
    EXPECT_EQ(t.tram, (Words{9, 8}));
    EXPECT_TRUE(t.gprs.empty() && t.xtra.empty() && t.inp.empty() && t.outp.empty());
    EXPECT_TRUE(t.iscl.empty() && t.wscl.empty() && t.code.empty());
}

TEST(ParsingEffects, ReadsLargeChunksWithTheirFullSize) {
    TempDir dir;
    FxDllReader reader;
    std::string words;
    for (int i = 0; i < 0x4800; ++i) // 0x9000 bytes
        words.append(" ").append(std::to_string(i));
    ASSERT_EQ(ScanOne(reader, dir,
                      "rifx\n ckid \"a\" \"b\" \"Big\"\n list gpri\n  gprs" + words +
                          "\n end\n rsrc 3\nend\n"),
              kEffectsDone);
    ASSERT_EQ(reader.Current().gprs.size(), 0x4800u);
    EXPECT_EQ(reader.Current().gprs.back(), 0x47FF);
    EXPECT_EQ(reader.Current().rsrc, Words{3});
}

TEST(ParsingEffects, PatcChunksAfterScalAreMetAtTheTopLevel) {
    TempDir dir;
    FxDllReader reader;
    ASSERT_EQ(ScanOne(reader, dir, R"(rifx
  ckid "FX" "1" "Late outp"
  list patc
    inp 1 2
    list scal
      iscl 3
    end
    outp 4
  end
  rsrc 5
end
)"),
              kEffectMalformed);
    const EffectTables& t = reader.Current();
    EXPECT_EQ(t.inp, (Words{1, 2}));
    EXPECT_EQ(t.iscl, Words{3});
    EXPECT_TRUE(t.outp.empty());
    EXPECT_TRUE(t.rsrc.empty());
}

TEST(ParsingEffects, AZeroSizeChunkAtTheRifxSizeIsNotRead) {
    TempDir dir;
    FxDllReader reader;
    // The last chunk of a block with an exact size starts T bytes after the
    // signature; zero-size, it would still fit, but it is not read.
    ASSERT_EQ(ScanOne(reader, dir, R"(rifx
  ckid "FX" "1" "Tail"
  rsrc 7
  chunk junk
end
)"),
              kEffectsDone);
    EXPECT_EQ(reader.Current().rsrc, Words{7});
    ASSERT_EQ(ScanOne(reader, dir, R"(rifx
  ckid "FX" "1" "Tail"
  rsrc 7
  rsrc
end
)"),
              kEffectsDone);
    EXPECT_EQ(reader.Current().rsrc, Words{7});
    // One byte earlier it is read, and an unknown id stops the parse.
    ASSERT_EQ(ScanOne(reader, dir, R"(rifx
  ckid "FX" "1" "Tail"
  rsrc 7
  chunk junk
  bytes 00
end
)"),
              kEffectMalformed);
}

TEST(ParsingEffects, UnknownIdsAndListTypesStopTheParseKeepingWhatCameBefore) {
    const char* const bodies[] = {
        "  chunk cod3 00\n",
        "  list gprj\n    gprs 2\n  end\n",
        "  list gpri\n    gprs 2\n    inp 3\n  end\n",
        "  list gpri\n    list gpri\n    end\n  end\n",
        "  list patc\n    list scak\n    end\n  end\n",
        "  list patc\n    list scal\n      outp 4\n    end\n  end\n",
        "  ckid \"a\" \"b\" \"c\"\n  chunk RSRC 00 02\n",
    };
    for (const char* body : bodies) {
        TempDir dir;
        FxDllReader reader;
        // The code after the stop is never read.
        std::string effect = std::string("rifx\n  ckid \"a\" \"b\" \"x\"\n  rsrc 1\n") + body +
                             "  code\n    1 2 3 4 5\n  end\nend\n";
        EXPECT_EQ(ScanOne(reader, dir, effect), kEffectMalformed) << body;
        EXPECT_EQ(reader.Current().rsrc, Words{1}) << body;
        EXPECT_TRUE(reader.Current().code.empty()) << body;
    }
}

TEST(ParsingEffects, ParsingAnotherEffectLeavesOnlyItsTables) {
    TempDir dir;
    FxDllReader reader;
    ASSERT_EQ(reader.Scan(WriteLibrary(dir, FullEffect("A") + TinyEffect("B", 9))), kEffectsDone);
    ASSERT_EQ(reader.Parse(0), kEffectsDone);
    EXPECT_EQ(reader.Current().code.size(), 3u);
    ASSERT_EQ(reader.Parse(1), kEffectsDone);
    const EffectTables& t = reader.Current();
    EXPECT_EQ(t.rsrc, Words{9});
    EXPECT_TRUE(t.gprs.empty() && t.tram.empty() && t.xtra.empty() && t.inp.empty());
    EXPECT_TRUE(t.outp.empty() && t.iscl.empty() && t.wscl.empty() && t.code.empty());
    // An index outside the directory reads nothing and empties the tables.
    ASSERT_EQ(reader.Parse(0), kEffectsDone);
    EXPECT_EQ(reader.Parse(2), kParseStopped);
    EXPECT_TRUE(reader.Current().rsrc.empty() && reader.Current().code.empty());
    EXPECT_EQ(reader.Parse(-1), kParseStopped);
}

// --- Sizes that do not add up ---------------------------------------------

TEST(BrokenEffects, SizesThatPointPastTheirListOrTheFileStopTheParse) {
    struct Case {
        const char* what;
        const char* body;
    };
    const Case cases[] = {
        {"a sub-chunk overruns its list",
         "  list gpri\n    gprs 2\n    chunk tram 00 05 size=40\n  end\n"},
        {"a sub-chunk header straddles the list's end",
         "  list gpri size=20\n    gprs 2 3\n    tram 4\n  end\n  rsrc 9\n"},
        {"a list smaller than its type", "  list gpri size=2\n  end\n  bytes 00 00\n"},
        {"a list of size 0", "  list patc size=0\n  end\n  bytes 00 00 00 00\n"},
        {"scal overruns patc",
         "  list patc size=16\n    list scal\n      iscl 1 2 3\n    end\n  end\n"},
        {"a code chunk runs past the file", "  code size=0xFFFFFFF0\n    1 2 3 4 5\n  end\n"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        FxDllReader reader;
        std::string effect = std::string("rifx\n  ckid \"a\" \"b\" \"x\"\n  rsrc 1\n") + c.body +
                             "end\nfiller 300\n";
        EXPECT_EQ(ScanOne(reader, dir, effect), kEffectMalformed) << c.what;
        EXPECT_EQ(reader.Current().rsrc, Words{1}) << c.what;
    }
}

// --- Bounded by the file, not by the RIFX block ----------------------------

TEST(BoundedByTheFile, AChunkStartingInsideItsBlockIsReadWholeWhenItLiesInTheFile) {
    // The block's declared size, 40, ends 8 bytes into the chunk after rsrc
    // (ckid 14 bytes, rsrc 10, so the chunk starts 36 bytes after the
    // signature): it starts inside the block and runs 5 or 14 bytes past it,
    // into the file's next bytes.
    const struct {
        const char* what;
        const char* chunk;
    } cases[] = {
        {"code", "  code\n    1 2 3 4 5\n  end\n"},
        {"a list", "  list gpri\n    gprs 1 2 3\n  end\n"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        FxDllReader reader;
        EXPECT_EQ(ScanOne(reader, dir,
                          std::string("rifx size=40\n  ckid \"a\" \"b\" \"x\"\n  rsrc 1\n") +
                              c.chunk + "end\n"),
                  kEffectsDone)
            << c.what;
        const EffectTables& t = reader.Current();
        EXPECT_EQ(t.rsrc, Words{1}) << c.what;
        if (t.code.empty())
            EXPECT_EQ(t.gprs, (Words{1, 2, 3})) << c.what;
        else
            EXPECT_TRUE(Same(t.code.at(0), {1, 2, 3, 4, 5})) << c.what;
    }
}

TEST(BoundedByTheFile, ABlockLongerThanTheFileIsReadUpToTheFirstChunkThatDoesNotFit) {
    // Each block claims 1000 bytes and ends the file.
    const struct {
        const char* what;
        const char* tail;
        Words inp;
    } cases[] = {
        {"the file ends after a whole chunk", "", {}},
        {"the file ends inside a code chunk", "  code size=18\n    1 2 3 4 5\n  end\n", {}},
        {"the file ends inside a list", "  list patc size=100\n    inp 3\n  end\n", {3}},
    };
    for (const auto& c : cases) {
        TempDir dir;
        FxDllReader reader;
        const std::string path = WriteLibrary(
            dir, std::string("filler 100\nrifx size=1000\n  ckid \"a\" \"b\" \"Long\"\n") +
                     "  rsrc 1\n  list gpri\n    gprs 2\n  end\n" + c.tail + "end\n");
        EXPECT_EQ(reader.Scan(path), kEffectMalformed) << c.what;
        EXPECT_EQ(Names(reader), std::vector<std::string>{"Long"}) << c.what;
        EXPECT_EQ(reader.Parse(0), kParseStopped) << c.what;
        const EffectTables& t = reader.Current();
        EXPECT_EQ(t.rsrc, Words{1}) << c.what;
        EXPECT_EQ(t.gprs, Words{2}) << c.what;
        EXPECT_EQ(t.inp, c.inp) << c.what;
        EXPECT_TRUE(t.code.empty()) << c.what;
    }
}

TEST(BoundedByTheFile, AFileCutInsideAnEffectKeepsEveryListReadBeforeTheCut) {
    TempDir dir;
    const std::string whole = BuildEffectsLibrary("filler 64\n" + FullEffect("Cut"));
    FxDllReader uncut;
    ASSERT_EQ(uncut.Scan(dir.write("whole.dll", whole)), kEffectsDone);
    const EffectTables all = uncut.Current();
    // Where each chunk ends in the file; its list is read when the cut
    // leaves all of it.
    auto endOf = [&whole](const char* id) {
        const std::size_t at = whole.find(id, 64);
        return at + 8 + BigEndian32(reinterpret_cast<const unsigned char*>(whole.data()) + at + 4);
    };
    using List = std::vector<int32_t> EffectTables::*;
    const std::pair<const char*, List> lists[] = {
        {"rsrc", &EffectTables::rsrc}, {"gprs", &EffectTables::gprs}, {"tram", &EffectTables::tram},
        {"xtra", &EffectTables::xtra}, {"inp ", &EffectTables::inp},  {"outp", &EffectTables::outp},
        {"iscl", &EffectTables::iscl}, {"wscl", &EffectTables::wscl}};

    // Cut the file at every length: the reader never reads past its end, an
    // effect that lost bytes is reported as malformed, and what was read
    // before the cut stays.
    for (std::size_t length = 0; length <= whole.size(); ++length) {
        FxDllReader reader;
        int32_t status = reader.Scan(dir.write("cut.dll", whole.substr(0, length)));
        if (length < 64 + 12)
            EXPECT_EQ(status, kNoEffectProgram) << length;
        else if (length < whole.size())
            EXPECT_EQ(status, kEffectMalformed) << length;
        else
            EXPECT_EQ(status, kEffectsDone);
        const EffectTables& t = reader.Current();
        for (const auto& [id, list] : lists)
            EXPECT_EQ(t.*list, endOf(id) <= length ? all.*list : Words{}) << id << " " << length;
        EXPECT_EQ(t.code.size(), endOf("code") <= length ? all.code.size() : 0u) << length;
    }
}

TEST(ProcessWideReader, TheFunctionsShareOneReader) {
    TempDir dir;
    EXPECT_EQ(ScanEffectsLibrary(WriteLibrary(dir, TinyEffect("A", 1) + TinyEffect("B", 2))),
              kEffectsDone);
    EXPECT_EQ(EffectCount(), 2);
    EXPECT_EQ(EffectDirectory()[1].Name, "B");
    EXPECT_EQ(ParseEffect(0), kEffectsDone);
    EXPECT_EQ(CurrentEffect().rsrc, Words{1});
    EXPECT_EQ(&CurrentEffect(), &EffectsReader().Current());
}

} // namespace
