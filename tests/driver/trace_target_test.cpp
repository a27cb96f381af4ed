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
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
constexpr uid_t kNobody = 65534;

std::ptrdiff_t Entries(const std::string& folder) {
    return std::distance(fs::recursive_directory_iterator(folder), {});
}

// "$" in text as the folder.
std::string In(const std::string& folder, const std::string& text) {
    const std::size_t at = text.find('$');
    return at == std::string::npos ? text : text.substr(0, at) + folder + text.substr(at + 1);
}

// Makes "file:mode", "folder/:mode", "file:mode:theirs" (another user's,
// for root) and "link>where" in folder; returns the links.
std::vector<std::string> Make(const std::string& folder, const std::string& what) {
    std::vector<std::string> links;
    std::istringstream items(what);
    for (std::string item; items >> item;) {
        const std::size_t arrow = item.find('>'), colon = item.find(':');
        const std::string path = folder + "/" + item.substr(0, std::min(arrow, colon));
        if (arrow != std::string::npos) {
            fs::create_symlink(In(folder, item.substr(arrow + 1)), path);
            links.push_back(path);
            continue;
        }
        if (item[colon - 1] == '/')
            fs::create_directory(path);
        else
            std::ofstream(path) << "as it was\n";
        chmod(path.c_str(), mode_t(std::stoi(item.substr(colon + 1), nullptr, 8)));
        if (item.ends_with(":theirs") && geteuid() == 0 && chown(path.c_str(), kNobody, kNobody))
            ADD_FAILURE() << path;
    }
    return links;
}

TEST(TraceTarget, WritesThroughLinksKeepsTheModeAndRefusesWhatTheUserCannotWrite) {
    const bool root = geteuid() == 0;
    const struct {
        std::string made, to;
        bool unprivileged; // run as another user, for root
        std::string refused, written = {};
        mode_t mode = 0;
    } rows[] = {
        // clang-format off
        {"", "new.csv", false, "", "new.csv", 0644},
        {"kept.csv:600", "kept.csv", false, "", "kept.csv", 0600},
        {"theirs.csv:664:theirs", "theirs.csv", false, "", "theirs.csv", 0664},
        {"real.csv:640 link.csv>real.csv", "link.csv", false, "", "real.csv", 0640},
        {"sub/:755 chain.csv>$/sub/next sub/next>../sub/end.csv", "chain.csv", false, "", "sub/end.csv", 0644},
        {"sub/:755 folder.csv>sub", "folder.csv", false, "$/folder.csv is a folder"},
        {"loop.csv>loop.csv", "loop.csv", false, "$/loop.csv: Too many levels of symbolic links"},
        {"ro.csv:444", "ro.csv", true, "$/ro.csv is not writable"},
        {"ro/:555", "ro/t.csv", true, "cannot write in $/ro"},
        // clang-format on
    };
    for (const auto& row : rows) {
        CountingService c(48, 3);
        TempDir dir;
        const std::string& d = dir.path();
        chmod(d.c_str(), 0755);
        const std::vector<std::string> links = Make(d, row.made);
        // What is there then, and the file written if new: no temporary file beside it.
        const std::ptrdiff_t entries =
            Entries(d) + (!row.written.empty() && !fs::exists(d + "/" + row.written));
        const bool unprivileged = row.unprivileged && root;
        ASSERT_TRUE(!unprivileged || seteuid(kNobody) == 0);
        const ControlAnswer answer =
            RunControlVerb(c.context, RequestLine({"trace", "256", "--to", d + "/" + row.to}));
        ASSERT_TRUE(!unprivileged || seteuid(0) == 0);
        for (const std::string& link : links)
            EXPECT_TRUE(fs::is_symlink(link)) << link;
        EXPECT_EQ(answer.text.ends_with(" to " + d + "/" + row.to) ? "" : answer.text,
                  In(d, row.refused));
        EXPECT_EQ(Entries(d), entries) << row.to;
        struct stat st {};
        if (row.written.empty() || stat((d + "/" + row.written).c_str(), &st) != 0)
            continue;
        std::string header;
        EXPECT_TRUE(std::getline(std::ifstream(d + "/" + row.written), header) &&
                    header == "sample,0x100")
            << row.to;
        EXPECT_EQ(st.st_mode & 07777, row.mode) << row.to;
        EXPECT_EQ(st.st_uid, row.made.ends_with("theirs") && root ? kNobody : geteuid());
    }
}

// A path with a space, quotes, a backslash, a leading dash and more than
// ASCII, relative to a folder with spaces; a working folder that is gone.
TEST(TraceTarget, EmuapsctlSendsAnyPathFromWhereverItRuns) {
    TempDir dir;
    const std::string& d = dir.path();
    ServiceProcess service(d, std::string(VELMORA_SOURCE_DIR) + "/driver/images/demo.chip",
                           d + "/log", {"--history=1"});
    ASSERT_TRUE(service.waitForLog("control at"));
    ASSERT_EQ(RunEmuapsctl(d, "advance 10").status, 0);
    auto run = [&](const std::string& shell) { // its status, then what it said
        const std::string ctl = "XDG_RUNTIME_DIR='" + d + "' '" VELMORA_PROGRAM_DIR "/emuapsctl'";
        FILE* out = popen(("cd '" + d + "' && " + In(ctl, shell) + " 2>&1").c_str(), "r");
        std::string said;
        for (char buffer[512]; out && fgets(buffer, sizeof buffer, out);)
            said += buffer;
        return std::to_string(out ? WEXITSTATUS(pclose(out)) : -1) + " " + said;
    };
    const std::string odd = d + "/d i r/-x \"q\" \\ é.csv";
    EXPECT_EQ(run("mkdir 'd i r' && cd 'd i r' && $ trace 0x20 --to '-x \"q\" \\ é.csv'"),
              "0 samples 0 to 9\nwrote 1 register to " + odd + "\n");
    EXPECT_TRUE(fs::exists(odd));
    EXPECT_EQ(
        run("mkdir gone && cd gone && rmdir ../gone && $ trace 0x20 --to out.csv"),
        "1 emuapsctl: out.csv: no working folder to find it in (No such file or directory)\n");
}

} // namespace
