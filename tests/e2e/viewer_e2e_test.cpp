// Runs the real viewer in real windows on a private X server, with and without
// the real driver service.
#include "aps_probe.h"
#include "support/eventually.h"
#include "support/service_process.h"
#include "support/temp_dir.h"
#include "x_display.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <thread>

namespace {

const std::string kBin = VELMORA_PROGRAM_DIR;

std::vector<std::string> ViewerEnv(const XDisplay& x, const TempDir& runtime) {
    return {"DISPLAY=" + x.name(), "XDG_RUNTIME_DIR=" + runtime.path(), "QT_QPA_PLATFORM=xcb"};
}

// The process that holds the device of the service at path, 0 when none does.
long Holder(const std::string& path) {
    long pid = 0;
    return ApsProbeService(path.c_str(), 1000, &pid) == APS_PROBE_HELD ? pid : 0;
}

struct Viewer {
    pid_t pid;
    ~Viewer() {
        if (pid > 0 && WaitExit(pid, 0) == -1) {
            kill(pid, SIGKILL);
            WaitExit(pid, 5000);
        }
    }
};

} // namespace

TEST(ViewerEndToEnd, WithoutTheServiceOnlyTheErrorBoxAppearsAndOkEndsTheProgram) {
    XDisplay x;
    ASSERT_TRUE(x.ok()) << "Xvfb did not start";
    TempDir runtime; // no service listens here

    const std::string errors = runtime.path() + "/velmora.err";
    Viewer viewer{Spawn({kBin + "/velmora"}, ViewerEnv(x, runtime), errors)};
    ASSERT_GT(viewer.pid, 0);
    const std::string box = x.WaitForWindow("^Velmora$", 30000);
    ASSERT_FALSE(box.empty()) << "no error box";
    // Give a wrongly started splash or main bar the time to show up.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(x.VisibleWindowsOf(viewer.pid), std::vector<std::string>({box}));
    EXPECT_TRUE(x.VisibleWindows("Microcode|FX Code").empty());

    x.Key(box, "Return");
    EXPECT_EQ(WaitExit(viewer.pid, 15000), 1);
    viewer.pid = -1;
    std::ifstream said(errors); // and standard error says why
    EXPECT_NE(std::string(std::istreambuf_iterator<char>(said), {}).find("no driver service"),
              std::string::npos);
}

TEST(ViewerEndToEnd, WithTheServiceTheMainBarAndFirstTwoWindowsAppear) {
    XDisplay x;
    ASSERT_TRUE(x.ok()) << "Xvfb did not start";
    TempDir runtime;
    ServiceProcess service(runtime.path(), kBin + "/images/demo.chip");

    Viewer viewer{Spawn({kBin + "/velmora"}, ViewerEnv(x, runtime))};
    ASSERT_GT(viewer.pid, 0);
    EXPECT_FALSE(x.WaitForWindow("^Velmora$", 30000).empty());
    EXPECT_FALSE(x.WaitForWindow("^Microcode Memory$", 10000).empty());
    EXPECT_FALSE(x.WaitForWindow("^FX Code View \\(eapsfx.dll\\)$", 10000).empty());
    EXPECT_TRUE(x.VisibleWindows("^General Purpose Registers$").empty());
    EXPECT_TRUE(x.VisibleWindows("^Tank Memory Usage$").empty());
    // Start-up is over: the untitled splash is gone.
    EXPECT_TRUE(Eventually([&] {
        for (const std::string& w : x.VisibleWindowsOf(viewer.pid))
            if (x.Title(w).empty())
                return false;
        return true;
    })) << "an untitled window is still up";
    EXPECT_EQ(WaitExit(viewer.pid, 0), -1) << "the viewer ended";
}

// A service that dies under a running viewer is not papered over with zeros:
// the next update ends the viewer, saying why.
TEST(ViewerEndToEnd, WhenTheServiceDiesTheNextUpdateEndsTheViewerWithTheReason) {
    XDisplay x;
    ASSERT_TRUE(x.ok()) << "Xvfb did not start";
    TempDir runtime;
    ServiceProcess service(runtime.path(), kBin + "/images/demo.chip");
    const std::string errors = runtime.path() + "/velmora.err";
    Viewer viewer{Spawn({kBin + "/velmora"}, ViewerEnv(x, runtime), errors)};
    ASSERT_GT(viewer.pid, 0);
    const std::string microcode = x.WaitForWindow("^Microcode Memory$", 30000);
    ASSERT_FALSE(microcode.empty());

    const std::vector<std::string> mainBar = x.VisibleWindows("^Velmora$");
    // Each of fifty restarts, of a service whose DSP runs, is found at the
    // next F5; a second viewer is told on standard error who holds the device.
    service.stop();
    std::unique_ptr<ServiceProcess> restarted;
    int found = 0;
    for (int i = 0; i < 50; ++i) {
        restarted = nullptr;
        restarted = std::make_unique<ServiceProcess>(runtime.path(), kBin + "/images/demo.chip", "",
                                                     std::vector<std::string>{"--run"});
        x.Key(microcode, "F5");
        found += Eventually([&] { return Holder(restarted->socketPath()) == viewer.pid; });
    }
    ASSERT_EQ(found, 50);
    Viewer second{Spawn({kBin + "/velmora"},
                        {"XDG_RUNTIME_DIR=" + runtime.path(), "QT_QPA_PLATFORM=offscreen"},
                        errors + "2")};
    const std::string held = "the device is held by process " + std::to_string(viewer.pid);
    EXPECT_TRUE(Eventually([&] {
        std::ifstream said(errors + "2");
        return std::string(std::istreambuf_iterator<char>(said), {}).find(held) !=
               std::string::npos;
    }));
    restarted->crash();
    x.Key(microcode, "F5");
    // A person who started the viewer from a menu is told why, in a box of its own.
    std::string box;
    for (int i = 0; i < 150 && box.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        for (const std::string& w : x.VisibleWindows("^Velmora$"))
            if (std::find(mainBar.begin(), mainBar.end(), w) == mainBar.end())
                box = w;
    }
    ASSERT_FALSE(box.empty()) << "no box";
    EXPECT_EQ(WaitExit(viewer.pid, 300), -1) << "the viewer ended before the box was answered";
    for (const char* key : {"Tab", "ctrl+a", "ctrl+c", "Tab"})
        x.Key(box, key);
    EXPECT_EQ(RunAndRead({"xclip", "-o", "-selection", "clipboard"}, {"DISPLAY=" + x.name()}),
              "the driver service was lost; the chip cannot be read");
    x.Key(box, "Return");
    EXPECT_EQ(WaitExit(viewer.pid, 15000), 1);
    viewer.pid = -1;
    std::ifstream in(errors);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("velmora: the driver service was lost"), std::string::npos)
        << text.str();
}

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The viewer and its library in a program folder of the test's own, whose
// symbol file the test makes.
std::string ProgramFolderCopy(const TempDir& dir) {
    namespace fs = std::filesystem;
    const fs::path bin = fs::path(dir.path()) / "bin";
    fs::create_directories(bin / "Symbols");
    for (const char* file : {"velmora", "libzendra.so"})
        fs::copy_file(fs::path(kBin) / file, bin / file);
    return bin.string();
}

// Processor time a process has used, in seconds.
double CpuSeconds(pid_t pid) {
    std::istringstream stat(ReadAll("/proc/" + std::to_string(pid) + "/stat"));
    std::string field;
    double ticks = 0;
    for (int i = 1; i <= 15 && stat >> field; ++i)
        if (i == 14 || i == 15)
            ticks += std::stod(field);
    return ticks / double(sysconf(_SC_CLK_TCK));
}

// Start-up goes as far as the microcode window, with the given symbol file,
// and the viewer then comes to rest within cpuSeconds of processor time.
void ExpectStartUpWithin(const std::string& program, const XDisplay& x, const TempDir& runtime,
                         int seconds, double cpuSeconds, const std::string& expectedError) {
    ServiceProcess service(runtime.path(), kBin + "/images/demo.chip");
    const std::string errors = runtime.path() + "/velmora.err";
    const auto start = std::chrono::steady_clock::now();
    Viewer viewer{Spawn({program + "/velmora"}, ViewerEnv(x, runtime), errors)};
    ASSERT_GT(viewer.pid, 0);
    if (x.WaitForWindow("^Microcode Memory$", seconds * 1000).empty()) {
        std::string shown;
        for (const std::string& w : x.VisibleWindowsOf(viewer.pid))
            shown += " '" + x.Title(w) + "'";
        ADD_FAILURE() << "start-up stalled; windows:" << shown << "; errors: " << ReadAll(errors);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(seconds));
    double used = CpuSeconds(viewer.pid);
    for (int i = 0; i < 100; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        double now = CpuSeconds(viewer.pid);
        if (now == used)
            break;
        used = now;
    }
    EXPECT_LT(used, cpuSeconds) << "seconds of processor time until the viewer came to rest";
    if (!expectedError.empty()) {
        EXPECT_NE(ReadAll(errors).find(expectedError), std::string::npos) << ReadAll(errors);
    }
    kill(viewer.pid, SIGTERM);
}

} // namespace

// The symbol file cannot stall start-up: a FIFO is refused at once (start-up
// goes on without names, as after any failed step, and says why on standard
// error), and a name a megabyte long is skipped like any malformed line.
TEST(ViewerEndToEnd, ASymbolFileThatIsAFifoOrHasAHugeLineDoesNotStallStartUp) {
    XDisplay x;
    ASSERT_TRUE(x.ok()) << "Xvfb did not start";
    TempDir runtime, folder;
    const std::string program = ProgramFolderCopy(folder);
    const std::string symbols = program + "/Symbols/8010.d";

    ASSERT_EQ(mkfifo(symbols.c_str(), 0600), 0);
    ExpectStartUpWithin(program, x, runtime, 10, 1.5,
                        "velmora: Can't open symbol file " + symbols + ": it is a FIFO");

    ASSERT_EQ(unlink(symbols.c_str()), 0);
    std::ofstream(symbols) << ReadAll(kBin + "/Symbols/8010.d") << "[VIRTUAL]\n"
                           << std::string(1 << 20, 'n') << " 0x100\n";
    // Shown in the listing, such a name kept the viewer busy for seconds.
    ExpectStartUpWithin(program, x, runtime, 10, 1.5, "");
}

// --help and --version answer with no display and no service.
TEST(ViewerEndToEnd, HelpAndVersionAnswerOnTheTerminalWithoutADisplay) {
    const std::vector<std::string> env = {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=xcb"};
    EXPECT_EQ(RunAndRead({kBin + "/velmora", "--help"}, env).rfind("Usage: velmora", 0), 0u);
    EXPECT_EQ(RunAndRead({kBin + "/velmora", "--version"}, env).rfind("velmora (Velmora) ", 0), 0u);
}
