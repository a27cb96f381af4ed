// Runs the real viewer in real windows on a private X server, with and without
// the real driver service.
#include "support/service_process.h"
#include "support/temp_dir.h"
#include "x_display.h"

#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

namespace {

const std::string kBin = VELMORA_PROGRAM_DIR;

std::vector<std::string> ViewerEnv(const XDisplay& x, const TempDir& runtime) {
    return {"DISPLAY=" + x.name(), "XDG_RUNTIME_DIR=" + runtime.path(), "QT_QPA_PLATFORM=xcb"};
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

    Viewer viewer{Spawn({kBin + "/velmora"}, ViewerEnv(x, runtime))};
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
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (const std::string& w : x.VisibleWindowsOf(viewer.pid))
        EXPECT_FALSE(x.Title(w).empty()) << "an untitled window is still up";
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

    service.crash();
    x.Key(microcode, "F5");
    EXPECT_EQ(WaitExit(viewer.pid, 15000), 1);
    viewer.pid = -1;
    std::ifstream in(errors);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("velmora: the driver service was lost"), std::string::npos)
        << text.str();
}
