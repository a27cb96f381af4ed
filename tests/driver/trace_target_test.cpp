// Where trace --to writes: through symbolic links to the file they name,
// keeping an existing file's mode and owner, never over a file or in a
// folder the user cannot write; and emuapsctl's path reaches the service
// whatever it holds, from wherever it is run.
#include "counting_chip.h"
#include "support/emuapsctl_run.h"
#include "support/service_process.h"
#include "support/temp_dir.h"
#include "verb_words.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::set<std::string> Listing(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.insert(entry.path().string());
    return names;
}

// "$" in text as the folder.
std::string In(const std::string& folder, const std::string& text) {
    const std::size_t at = text.find('$');
    return at == std::string::npos ? text : text.substr(0, at) + folder + text.substr(at + 1);
}

TEST(TraceTarget, WritesThroughLinksKeepsTheModeAndRefusesWhatTheUserCannotWrite) {
    constexpr uid_t kNobody = 65534;
    const bool root = geteuid() == 0;
    const struct {
        std::string to;                                         // in the folder
        std::vector<std::pair<std::string, mode_t>> files;      // "x/" a folder
        std::vector<std::pair<std::string, std::string>> links; // and where each points
        bool unprivileged;                                      // as another user, for root
        std::string refused = {};                               // or "" when written
        std::string written = {};
        mode_t mode = 0;
        bool theirs = false; // the file is another user's, which root keeps so
    } rows[] = {
        {"new.csv", {}, {}, false, "", "new.csv", 0644},
        {"kept.csv", {{"kept.csv", 0600}}, {}, false, "", "kept.csv", 0600},
        {"theirs.csv", {{"theirs.csv", 0664}}, {}, false, "", "theirs.csv", 0664, true},
        {"link.csv", {{"real.csv", 0640}}, {{"link.csv", "real.csv"}}, false, "", "real.csv", 0640},
        {"chain.csv",
         {{"sub/", 0755}},
         {{"chain.csv", "$/sub/next"}, {"sub/next", "../sub/end.csv"}},
         false,
         "",
         "sub/end.csv",
         0644},
        {"folder.csv",
         {{"sub/", 0755}},
         {{"folder.csv", "sub"}},
         false,
         "$/folder.csv is a folder"},
        {"loop.csv",
         {},
         {{"loop.csv", "loop.csv"}},
         false,
         "$/loop.csv: Too many levels of symbolic links"},
        {"ro.csv", {{"ro.csv", 0444}}, {}, true, "$/ro.csv is not writable"},
        {"ro/t.csv", {{"ro/", 0555}}, {}, true, "cannot write in $/ro"},
    };
    for (const auto& row : rows) {
        CountingService c(48, 3);
        TempDir dir;
        const std::string& d = dir.path();
        ASSERT_EQ(chmod(d.c_str(), 0755), 0);
        for (const auto& [name, mode] : row.files) {
            const std::string path = d + "/" + name;
            if (name.ends_with('/'))
                fs::create_directory(path);
            else
                std::ofstream(path) << "as it was\n";
            ASSERT_EQ(chmod(path.c_str(), mode), 0);
            if (row.theirs && root) {
                ASSERT_EQ(chown(path.c_str(), kNobody, kNobody), 0);
            }
        }
        for (const auto& [name, to] : row.links)
            fs::create_symlink(In(d, to), d + "/" + name);
        const std::set<std::string> before = Listing(d);
        const bool unprivileged = row.unprivileged && root;
        ASSERT_TRUE(!unprivileged || seteuid(kNobody) == 0);
        const ControlAnswer answer =
            RunControlVerb(c.context, RequestLine({"trace", "256", "--to", d + "/" + row.to}));
        ASSERT_TRUE(!unprivileged || seteuid(0) == 0);
        for (const auto& link : row.links)
            EXPECT_TRUE(fs::is_symlink(d + "/" + link.first)) << row.to;
        if (!row.refused.empty()) {
            EXPECT_EQ(answer.status, 1) << row.to;
            EXPECT_EQ(answer.text, In(d, row.refused));
            EXPECT_EQ(Listing(d), before) << row.to;
            continue;
        }
        EXPECT_EQ(answer.status, 0) << row.to << ": " << answer.text;
        std::ifstream in(d + "/" + row.written);
        std::string header;
        EXPECT_TRUE(std::getline(in, header) && header == "sample,0x100") << row.to;
        struct stat st {};
        EXPECT_EQ(stat((d + "/" + row.written).c_str(), &st), 0) << row.to;
        EXPECT_EQ(st.st_mode & 07777, row.mode) << row.to;
        EXPECT_EQ(st.st_uid, row.theirs && root ? kNobody : geteuid()) << row.to;
        std::set<std::string> after = before; // no temporary file left beside it
        after.insert(d + "/" + row.written);
        EXPECT_EQ(Listing(d), after) << row.to;
    }
}

// A path with a space, quotes, a backslash, a leading dash and more than
// ASCII, relative to a folder with spaces; a working folder that is gone.
TEST(TraceTarget, EmuapsctlSendsAnyPathFromWhereverItRuns) {
    TempDir dir;
    ServiceProcess service(dir.path(), std::string(VELMORA_SOURCE_DIR) + "/driver/images/demo.chip",
                           dir.path() + "/log", {"--history=1"});
    ASSERT_TRUE(service.waitForLog("control at"));
    ASSERT_EQ(RunEmuapsctl(dir.path(), "advance 10").status, 0);
    const std::string ctl =
        "XDG_RUNTIME_DIR='" + dir.path() + "' '" VELMORA_PROGRAM_DIR "/emuapsctl'";
    const struct {
        std::string shell;
        int status;
        std::string said;
        std::string written;
    } rows[] = {
        {"mkdir 'd i r' && cd 'd i r' && $ trace 0x20 --to '-x \"q\" \\ é.csv'", 0,
         "wrote 1 register to " + dir.path() + "/d i r/-x \"q\" \\ é.csv\n",
         "d i r/-x \"q\" \\ é.csv"},
        {"mkdir gone && cd gone && rmdir ../gone && $ trace 0x20 --to out.csv", 1,
         "emuapsctl: out.csv: no working folder to find it in (No such file or directory)\n", ""},
    };
    for (const auto& row : rows) {
        const std::string command = "cd '" + dir.path() + "' && " + In(ctl, row.shell) + " 2>&1";
        FILE* out = popen(command.c_str(), "r");
        ASSERT_TRUE(out);
        std::string said;
        for (char buffer[512]; fgets(buffer, sizeof buffer, out);)
            said += buffer;
        const int status = pclose(out);
        EXPECT_EQ(WEXITSTATUS(status), row.status) << said;
        EXPECT_TRUE(said.ends_with(row.said)) << said;
        EXPECT_TRUE(row.written.empty() || fs::exists(dir.path() + "/" + row.written)) << said;
    }
}

} // namespace
