// The private copy of the effects library: made with a notice on the first
// run, reused unchanged afterwards, kept in the per-user folder when the
// program folder cannot be written, and always the file that is scanned.
#include "effects_library.h"
#include "fx_dll_reader.h"
#include "fx_library_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using Source = PreparedLibrary::Source;

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const EffectEntry& entry : EffectDirectory())
        names.push_back(entry.Name);
    return names;
}

struct Folders {
    TempDir dir;
    LibraryFolders folders{dir.path() + "/bin", dir.path() + "/share/emuaps",
                           dir.path() + "/home/velmora"};
    std::vector<std::string> notices;
    LibraryNotice notice = [this](const std::string& text) { notices.push_back(text); };

    Folders() { fs::create_directories(folders.program); }
    void SystemLibrary(const std::string& description) {
        fs::create_directories(folders.system);
        WriteLibrary(dir, description, "share/emuaps/eapsfx.dll");
    }
};

TEST(EffectsLibrary, FirstRunShowsTheNoticeAndCopiesTheLibrary) {
    Folders s;
    s.SystemLibrary(TinyEffect("Echo") + TinyEffect("Chorus"));
    PreparedLibrary library = PrepareEffectsLibrary(s.folders, s.notice);

    ASSERT_EQ(s.notices.size(), 1u);
    EXPECT_EQ(s.notices[0], "Please, wait a bit...\r\nYou are running Velmora for a first time.");
    const fs::path copy = fs::path(s.folders.program) / "eapsfx.dll";
    EXPECT_EQ(library.source, Source::NewCopy);
    EXPECT_EQ(library.scanned, copy.string());
    EXPECT_EQ(Read(copy), Read(fs::path(s.folders.system) / "eapsfx.dll"));
    EXPECT_FALSE(fs::exists(copy.string() + ".part"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"Echo", "Chorus"}));
    EXPECT_EQ(library.scanStatus, kEffectsDone);
    EXPECT_TRUE(EmptyLibraryReason(library, EffectCount()).empty());
}

TEST(EffectsLibrary, LaterRunsScanTheCopyAsItIs) {
    Folders s;
    s.SystemLibrary(TinyEffect("Old"));
    PrepareEffectsLibrary(s.folders, s.notice);
    // The driver's library changes; the copy is neither refreshed nor bypassed.
    s.SystemLibrary(TinyEffect("New") + TinyEffect("Newer"));
    s.notices.clear();
    PreparedLibrary library = PrepareEffectsLibrary(s.folders, s.notice);
    EXPECT_TRUE(s.notices.empty());
    EXPECT_EQ(library.source, Source::ExistingCopy);
    EXPECT_EQ(Names(), std::vector<std::string>{"Old"});
    // Even with the driver's library gone.
    fs::remove(fs::path(s.folders.system) / "eapsfx.dll");
    PrepareEffectsLibrary(s.folders, s.notice);
    EXPECT_EQ(Names(), std::vector<std::string>{"Old"});
    EXPECT_TRUE(s.notices.empty());
}

TEST(EffectsLibrary, AnUnwritableProgramFolderKeepsTheCopyInTheUserFolder) {
    Folders s;
    s.SystemLibrary(TinyEffect("Echo"));
    // A program folder below a plain file can be neither created nor written,
    // whoever runs the test.
    std::ofstream(s.dir.path() + "/readonly") << "x";
    s.folders.program = s.dir.path() + "/readonly/bin";

    PreparedLibrary library = PrepareEffectsLibrary(s.folders, s.notice);
    const fs::path userCopy = fs::path(s.folders.userData) / "eapsfx.dll";
    EXPECT_EQ(s.notices.size(), 1u);
    EXPECT_EQ(library.source, Source::NewCopy);
    EXPECT_EQ(library.scanned, userCopy.string());
    EXPECT_TRUE(fs::is_regular_file(userCopy));
    EXPECT_EQ(Names(), std::vector<std::string>{"Echo"});

    // The next run finds that copy and says nothing.
    s.SystemLibrary(TinyEffect("Other"));
    library = PrepareEffectsLibrary(s.folders, s.notice);
    EXPECT_EQ(s.notices.size(), 1u);
    EXPECT_EQ(library.source, Source::ExistingCopy);
    EXPECT_EQ(Names(), std::vector<std::string>{"Echo"});
}

TEST(EffectsLibrary, WithoutALibraryTheDirectoryIsEmptyAndSaysWhy) {
    Folders s;
    PreparedLibrary library = PrepareEffectsLibrary(s.folders, s.notice);
    EXPECT_EQ(s.notices.size(), 1u);
    EXPECT_EQ(library.source, Source::NoLibrary);
    EXPECT_EQ(EffectCount(), 0);
    EXPECT_FALSE(fs::exists(fs::path(s.folders.program) / "eapsfx.dll"));
    std::vector<std::string> reason = EmptyLibraryReason(library, EffectCount());
    ASSERT_FALSE(reason.empty());
    EXPECT_NE(reason.back().find(s.folders.system + "/eapsfx.dll does not exist"),
              std::string::npos);
}

// A FIFO where a library should be is neither copied nor opened (either
// would wait for a writer that never comes), and the window says what it is.
TEST(EffectsLibrary, AFifoInPlaceOfTheLibraryIsRefusedAtOnceAndNamed) {
    Folders s;
    fs::create_directories(s.folders.system);
    const std::string system = s.folders.system + "/eapsfx.dll";
    const std::string local = s.folders.program + "/eapsfx.dll";
    ASSERT_EQ(mkfifo(system.c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(local.c_str(), 0600), 0);
    PreparedLibrary library = PrepareEffectsLibrary(s.folders, s.notice);
    EXPECT_EQ(library.source, Source::NoLibrary);
    EXPECT_EQ(EffectCount(), 0);
    std::vector<std::string> reason = EmptyLibraryReason(library, EffectCount());
    ASSERT_FALSE(reason.empty());
    EXPECT_NE(reason.back().find(system + " is a FIFO, not a file"), std::string::npos)
        << reason.back();
}

TEST(EffectsLibrary, ACopyThatCannotBeMadeAnywhereSaysWhy) {
    Folders s;
    s.SystemLibrary(TinyEffect("Echo"));
    std::ofstream(s.dir.path() + "/file") << "x";
    s.folders.program = s.dir.path() + "/file/bin";
    s.folders.userData = s.dir.path() + "/file/home";
    PreparedLibrary library = PrepareEffectsLibrary(s.folders, s.notice);
    EXPECT_EQ(library.source, Source::CopyFailed);
    EXPECT_EQ(EffectCount(), 0);
    std::vector<std::string> reason = EmptyLibraryReason(library, EffectCount());
    ASSERT_EQ(reason.size(), 2u);
    EXPECT_NE(reason[1].find(s.folders.program), std::string::npos);
    EXPECT_NE(reason[1].find(s.folders.userData), std::string::npos);
}

TEST(EffectsLibrary, ALibraryWithoutEffectProgramsSaysSo) {
    Folders s;
    s.SystemLibrary("filler 1000\n");
    PreparedLibrary library = PrepareEffectsLibrary(s.folders, s.notice);
    EXPECT_EQ(library.scanStatus, kNoEffectProgram);
    EXPECT_EQ(EmptyLibraryReason(library, EffectCount()),
              std::vector<std::string>{library.scanned + " holds no effect programs."});
}

TEST(EffectsLibrary, TheSampleLibraryOfTheBuildHoldsFiveEffects) {
    // The build puts it in the platform's system folder beside the program.
    TempDir dir;
    LibraryFolders folders{dir.path(), std::string(VELMORA_PROGRAM_DIR) + "/../share/emuaps", ""};
    PreparedLibrary library = PrepareEffectsLibrary(folders, {});
    EXPECT_EQ(library.scanStatus, kEffectsDone);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Stereo Echo", "Chorus", "Tone Control", "Volume",
                                                 "Mixer"}));
    ASSERT_EQ(ParseEffect(2), kEffectsDone);
    EXPECT_EQ(CurrentEffect().code.size(), 20u);
}

} // namespace
