// The register window against the simulated chip of the emuapsd service: the
// program's own register snapshot, read through Zendra, across a reload of
// the chip image.
#include "register_grid.h"
#include "register_window.h"
#include "support/service_process.h"
#include "support/temp_dir.h"
#include "zendra.h"

#include <QAction>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QColor kNavy(0x00, 0x00, 0x80);

const char kBefore[] = "emuaps-chip-image 1\n"
                       "reg 0x0FF 0x11111111\n"
                       "reg 0x100 0x40000000 0x80000000 0x00000001 0x2CCCCCCD 0 7\n"
                       "reg 0x1FF 0x12345678\n"
                       "reg 0x250 0x0004E2A1\n"
                       "reg 0x2FF 0xFFFFFFFF\n"
                       "reg 0x300 0x00200000\n";

// 0x105, 0x1FF, 0x250 and 0x2FF change; 0x101 is written with its old value;
// 0x0FF and 0x300 lie outside the register image.
const char kAfter[] = "emuaps-chip-image 1\n"
                      "reg 0x0FF 0x22222222\n"
                      "reg 0x100 0x40000000 0x80000000 0x00000001 0x2CCCCCCD 0 8\n"
                      "reg 0x1FF 0x12345679\n"
                      "reg 0x250 0x000FD1A8\n"
                      "reg 0x2FF 0x00000000\n"
                      "reg 0x300 0x00100960\n";

TEST(RegisterWindowChipTest, ReloadedChipShowsExactlyItsChangesAndTheFindsFollowThem) {
    TempDir folder;
    const std::string runtime = folder.path() + "/run";
    ASSERT_EQ(std::system(("mkdir -m 700 " + runtime).c_str()), 0);
    const std::string image = folder.write("chip.chip", kBefore);
    const std::string log = folder.path() + "/emuapsd.log";
    ServiceProcess service(runtime, image, log);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    ASSERT_EQ(ifInitApsIo(), 0);

    QAction entry("General Perpose &Registers");
    entry.setCheckable(true);
    entry.setChecked(true);
    RegisterWindow window(&entry);
    window.show();
    window.activateWindow(); // the keys below go through the window's shortcuts
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto* grid = window.findChild<QTableWidget*>("lstGPR");
    auto* info = window.findChild<QTableWidget*>("lstRegInfo");
    auto* history = window.findChild<QTreeWidget*>("lstHistory");
    ASSERT_TRUE(grid && info && history);
    auto cell = [grid](int32_t index) {
        const GridCell at = RegisterCell(index);
        return grid->item(at.row, at.column);
    };
    auto navy = [&cell] {
        std::set<int32_t> found;
        for (int32_t i = 0; i < 512; ++i)
            if (cell(i)->foreground().style() != Qt::NoBrush &&
                cell(i)->foreground().color() == kNavy)
                found.insert(i);
        return found;
    };
    auto current = [grid] {
        return RegisterAt({grid->currentRow(), grid->currentColumn()}).value_or(-1);
    };
    auto select = [grid](int32_t index) {
        const GridCell at = RegisterCell(index);
        grid->setCurrentCell(at.row, at.column);
    };

    EXPECT_EQ(cell(0)->text(), "40000000");
    EXPECT_EQ(cell(1)->text(), "80000000");
    EXPECT_EQ(cell(255)->text(), "12345678");
    EXPECT_EQ(cell(511)->text(), "FFFFFFFF");
    EXPECT_EQ(info->item(5, 1)->text(), " 0.50");
    EXPECT_TRUE(navy().empty());
    select(3);
    EXPECT_EQ(info->item(5, 1)->text(), " 0.35");

    folder.write("chip.chip", kAfter);
    service.reload();
    ASSERT_TRUE(service.waitForLog("reloaded"));
    QTest::keyClick(&window, Qt::Key_F5);
    EXPECT_EQ(navy(), (std::set<int32_t>{5, 255, 336, 511}));
    EXPECT_EQ(cell(336)->text(), "000FD1A8");
    EXPECT_EQ(current(), 3);

    select(5); // the highlight passes over a changed register
    EXPECT_EQ(info->item(4, 1)->text(), " 8");
    EXPECT_EQ(history->topLevelItem(0)->text(0), "7 / 0.00");
    select(6);
    EXPECT_EQ(navy(), (std::set<int32_t>{5, 255, 336, 511}));

    select(255);
    QTest::keyClick(&window, Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(current(), 336);
    EXPECT_EQ(info->item(1, 1)->text(), "TRAM Data");
    EXPECT_EQ(info->item(2, 1)->text(), " 0x250");
    // A TRAM data register: its 20-bit sample as a fraction of full scale.
    EXPECT_EQ(history->topLevelItem(0)->text(0), "320161 / 0.610659");
    QTest::keyClick(&window, Qt::Key_F6);
    EXPECT_EQ(current(), 511);
    QTest::keyClick(&window, Qt::Key_F6);
    EXPECT_EQ(current(), 5);

    QTest::keyClick(&window, Qt::Key_F5); // nothing changed since the reload
    EXPECT_TRUE(navy().empty());
    window.allowClose();
}

} // namespace
