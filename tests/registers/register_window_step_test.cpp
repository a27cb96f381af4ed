// The register window over the running demo while emuapsctl stops the chip
// and advances it one sample: F5, pressed on the keyboard of a private X
// server, then marks in navy exactly the registers that the sample changed.
#include "register_grid.h"
#include "register_window.h"
#include "support/emuapsctl_run.h"
#include "support/eventually.h"
#include "support/service_process.h"
#include "support/temp_dir.h"
#include "x_display.h"
#include "zendra.h"

#include <QAction>
#include <QApplication>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>

namespace {

const std::string kImages = std::string(VELMORA_SOURCE_DIR) + "/driver/images/";
const XDisplay* display = nullptr;

TEST(RegisterWindowStepTest, AfterOneSampleTheNavyCellsAreExactlyWhatItChanged) {
    TempDir folder;
    ServiceProcess service(folder.path(), kImages + "demo.chip", folder.path() + "/log",
                           {"--patch", kImages + "demo-chorus-echo.emu10k1", "--run"});
    ASSERT_TRUE(service.waitForLog("control at"));
    setenv("XDG_RUNTIME_DIR", folder.path().c_str(), 1);
    ASSERT_EQ(ifInitApsIo(), 0);
    ASSERT_EQ(RunEmuapsctl(folder.path(), "stop").status, 0);

    QAction entry("General Perpose &Registers");
    entry.setCheckable(true);
    entry.setChecked(true);
    RegisterWindow window(&entry);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const std::string shown = display->WaitForWindow("^General Purpose Registers$", 10000);
    ASSERT_FALSE(shown.empty()) << "the window is not on the X server";
    auto* grid = window.findChild<QTableWidget*>("lstGPR");
    ASSERT_TRUE(grid);
    auto read = [] {
        std::vector<int32_t> r(512);
        EXPECT_EQ(ifGPRMemoryReadAll(0x100, 512, r.data()), 0);
        return r;
    };
    const std::vector<int32_t> before = read();
    ASSERT_EQ(RunEmuapsctl(folder.path(), "advance 1").status, 0);
    const std::vector<int32_t> after = read();
    std::set<int32_t> changed, navy;
    for (int32_t i = 0; i < 512; ++i)
        if (before[i] != after[i])
            changed.insert(i);
    EXPECT_GT(changed.size(), 10u) << "a sample of the demo moves many registers";

    display->Key(shown, "F5");
    EXPECT_TRUE(Eventually([&] {
        QApplication::processEvents();
        navy.clear();
        for (int32_t i = 0; i < 512; ++i) {
            const GridCell at = RegisterCell(i);
            const QBrush fore = grid->item(at.row, at.column)->foreground();
            if (fore.style() != Qt::NoBrush && fore.color() == QColor(0x00, 0x00, 0x80))
                navy.insert(i);
        }
        return !navy.empty();
    })) << "F5 never reached the window";
    EXPECT_EQ(navy, changed);
    window.allowClose();
}

} // namespace

// The window is a real X window on a private Xvfb, so F5 comes through the X
// server's keyboard and focus as a person's would.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    XDisplay x;
    if (!x.ok()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    display = &x;
    setenv("DISPLAY", x.name().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
