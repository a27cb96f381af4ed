// emuapsctl's path reaches the service whatever it holds, from wherever it
// is run.
#include "support/emuapsctl_run.h"
#include "support/service_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

// "$" in text as the folder.
std::string In(const std::string& folder, const std::string& text) {
    const std::size_t at = text.find('$');
    return at == std::string::npos ? text : text.substr(0, at) + folder + text.substr(at + 1);
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
