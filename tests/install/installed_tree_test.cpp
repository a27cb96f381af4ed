// Installs this build into a temporary prefix and runs the real viewer from
// there, with the driver service started on demand by socket activation as
// its installed units describe it (systemd-socket-activate stands in for a
// running systemd).
#include "support/temp_dir.h"
#include "x_display.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int Shell(const std::string& command) {
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The value of "Key=" in a unit file, or "".
std::string UnitValue(const std::string& unit, const std::string& key) {
    std::smatch m;
    std::regex line("(^|\n)" + key + "=([^\n]*)");
    return std::regex_search(unit, m, line) ? m[2].str() : "";
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

struct Process {
    pid_t pid = -1;
    ~Process() {
        if (pid > 0 && WaitExit(pid, 0) == -1) {
            kill(pid, SIGKILL);
            WaitExit(pid, 5000);
        }
    }
};

TEST(InstalledTree, TheViewerRunsFromTheInstallWithTheServiceStartedOnDemand) {
    TempDir prefixDir, runtime, home;
    const fs::path prefix = prefixDir.path();
    ASSERT_EQ(Shell("cmake --install '" + std::string(VELMORA_BUILD_DIR) + "' --prefix '" +
                    prefix.string() + "' > '" + home.path() + "/install.log'"),
              0)
        << ReadAll(home.path() + "/install.log");

    const fs::path program = prefix / "lib/velmora";
    for (const char* file : {"velmora", "velmora-scope", "libzendra.so", "emuapsd", "emuapsctl",
                             "velmora-dap", "chipimage", "fxlib", "Symbols/8010.d", "readme.txt"})
        EXPECT_TRUE(fs::is_regular_file(program / file)) << file;
    for (const char* file :
         {"share/emuaps/eapsfx.dll", "share/velmora/images/demo.chip",
          "share/velmora/images/demo-chorus-echo.emu10k1", "share/man/man1/velmora.1.gz",
          "share/man/man1/emuapsd.1.gz", "share/man/man1/emuapsctl.1.gz",
          "share/bash-completion/completions/emuapsctl", "share/man/man1/chipimage.1.gz",
          "share/man/man1/fxlib.1.gz", "share/man/man1/velmora-dap.1.gz",
          "share/icons/hicolor/scalable/apps/org.velmora.Velmora.svg",
          "share/man/man1/velmora-scope.1.gz",
          "share/applications/org.velmora.Velmora.Scope.desktop",
          "share/icons/hicolor/scalable/apps/org.velmora.Velmora.Scope.svg",
          "share/doc/velmora/copyright"})
        EXPECT_TRUE(fs::is_regular_file(prefix / file)) << file;
    for (const char* link :
         {"velmora", "velmora-scope", "emuapsd", "emuapsctl", "velmora-dap", "chipimage", "fxlib"})
        EXPECT_EQ(fs::canonical(prefix / "bin" / link), fs::canonical(program / link)) << link;
    // The viewer finds its library beside itself, not in the build tree.
    EXPECT_EQ(Shell("readelf -d '" + (program / "velmora").string() +
                    "' | grep -q 'RUNPATH.*\\[\\$ORIGIN\\]'"),
              0);
    EXPECT_EQ(Shell("desktop-file-validate '" +
                    (prefix / "share/applications/org.velmora.Velmora.desktop").string() + "'"),
              0);
    EXPECT_EQ(Shell("appstreamcli validate --no-net '" +
                    (prefix / "share/metainfo/org.velmora.Velmora.metainfo.xml").string() +
                    "' > /dev/null"),
              0);

    // The service as its units start it.
    const std::string socketUnit = ReadAll(prefix / "lib/systemd/user/emuapsd.socket");
    const std::string serviceUnit = ReadAll(prefix / "lib/systemd/user/emuapsd.service");
    EXPECT_EQ(UnitValue(socketUnit, "ListenStream"), "%t/emuaps.vxd");
    std::vector<std::string> command = Words(UnitValue(serviceUnit, "ExecStart"));
    ASSERT_EQ(command.size(), 2u);
    EXPECT_EQ(command[1], "$EMUAPSD_OPTIONS");
    std::smatch options;
    ASSERT_TRUE(std::regex_search(serviceUnit, options,
                                  std::regex("Environment=\"EMUAPSD_OPTIONS=([^\"]*)\"")));
    std::vector<std::string> activate = {"systemd-socket-activate", "-l",
                                         runtime.path() + "/emuaps.vxd", command[0]};
    for (const std::string& word : Words(options[1].str())) {
        activate.push_back(word);
        if (word.starts_with("/")) {
            EXPECT_TRUE(fs::is_regular_file(word)) << word;
        }
    }
    Process service{Spawn(activate, {}, home.path() + "/service.log")};
    ASSERT_GT(service.pid, 0);
    for (int i = 0; i < 500 && !fs::exists(runtime.path() + "/emuaps.vxd"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    XDisplay x;
    ASSERT_TRUE(x.ok()) << "Xvfb did not start";
    Process viewer{
        Spawn({(prefix / "bin/velmora").string()},
              {"DISPLAY=" + x.name(), "XDG_RUNTIME_DIR=" + runtime.path(), "QT_QPA_PLATFORM=xcb",
               "HOME=" + home.path(), "XDG_DATA_HOME=" + home.path() + "/data"})};
    ASSERT_GT(viewer.pid, 0);
    EXPECT_FALSE(x.WaitForWindow("^Velmora$", 30000).empty())
        << ReadAll(home.path() + "/service.log");
    EXPECT_FALSE(x.WaitForWindow("^Microcode Memory$", 10000).empty());
    EXPECT_FALSE(x.WaitForWindow("^FX Code View \\(eapsfx.dll\\)$", 10000).empty());
    EXPECT_EQ(WaitExit(viewer.pid, 0), -1) << "the viewer ended";
    // The first open started the installed service in the activator's place.
    EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(service.pid) + "/exe"),
              fs::canonical(program / "emuapsd"));
    // The effects library came from the installed system folder (the copy
    // may still be under way while the windows show).
    auto copied = [&] {
        return fs::exists(program / "eapsfx.dll") ||
               fs::exists(home.path() + "/data/velmora/eapsfx.dll");
    };
    for (int i = 0; i < 500 && !copied(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(copied());
    kill(viewer.pid, SIGTERM);
    kill(service.pid, SIGTERM);
}

} // namespace
