// winInstrMem against the simulated chip of the emuapsd service: the program's
// own code snapshot, read through Zendra, across reloads of the chip image.
#include "chip_snapshots.h"
#include "code_view.h"
#include "instruction_text.h"
#include "listing_language_setup.h"
#include "microcode_window.h"
#include "support/service_process.h"
#include "support/temp_dir.h"
#include "zendra.h"

#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

// instr <index> <opcode> <R> <A> <X> <Y>
const std::string kCommon = "emuaps-chip-image 1\n"
                            "instr 0-511 ACC3 0x040 0x040 0x040 0x040\n"
                            "instr 0 MACS 0x10D 0x040 0x000 0x100\n"
                            "instr 1 LOG 0x020 0x056 0x04A 0x01F\n"
                            "instr 10 MACS 0x150 0x150 0x041 0x042\n"
                            "instr 20 ACC3 0x043 0x041 0x150 0x042\n"
                            "instr 30 MACMV 0x150 0x041 0x042 0x043\n";
const std::string kFirst = kCommon + "instr 2 MACS 0x10E 0x040 0x001 0x101\n";
// Instruction 2 and 300 change, 511 gets a new opcode; 5 is written with its old value.
const std::string kSecond = kCommon + "instr 2 MACW 0x10E 0x040 0x001 0x101\n"
                                      "instr 300 INTERP 0x021 0x10D 0x100 0x10E\n"
                                      "instr 5 ACC3 0x040 0x040 0x040 0x040\n"
                                      "instr 511 SKIP 0x040 0x040 0x040 0x040\n";
const std::string kThird = kCommon + "instr 2 MACW 0x10F 0x040 0x001 0x101\n"
                                     "instr 300 INTERP 0x021 0x10D 0x100 0x10E\n"
                                     "instr 511 SKIP 0x040 0x040 0x040 0x040\n"
                                     "instr 100 EXP 0x022 0x040 0x040 0x040\n";

class MicrocodeWindowChipTest : public ::testing::Test {
  protected:
    void SetUp() override {
        runtime_ = folder_.path() + "/run";
        ASSERT_EQ(std::system(("mkdir -m 700 " + runtime_).c_str()), 0);
        image_ = folder_.write("chip.chip", kFirst);
        service_ = std::make_unique<ServiceProcess>(runtime_, image_, folder_.path() + "/log");
        setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
        ASSERT_EQ(ifInitApsIo(), 0);
        RegisterShippedListingLanguageOnce();
    }

    // Rewrites the chip image and waits until the service has reloaded it.
    void Reload(const std::string& content) {
        folder_.write("chip.chip", content);
        service_->reload();
        ++reloads_;
        for (int wait = 0; wait < 1000 && ReloadsLogged() < reloads_; ++wait)
            QTest::qWait(10);
        ASSERT_EQ(ReloadsLogged(), reloads_);
    }
    int ReloadsLogged() const {
        std::ifstream in(folder_.path() + "/log");
        int count = 0;
        for (std::string line; std::getline(in, line);)
            count += line.find("reloaded") != std::string::npos;
        return count;
    }

    TempDir folder_;
    std::string runtime_;
    std::string image_;
    std::unique_ptr<ServiceProcess> service_;
    int reloads_ = 0;
};

TEST_F(MicrocodeWindowChipTest, ListingMarksHistoryAndSearchesFollowTheChip) {
    QAction entry("Micro&code Memory");
    entry.setCheckable(true);
    entry.setChecked(true);
    MicrocodeWindow window(&entry);
    auto* view = window.findChild<QsciScintilla*>("CodeView");
    auto* info = window.findChild<QLabel*>("txtSelInfo");
    auto* history = window.findChild<QPlainTextEdit*>("txtHistory");
    ASSERT_TRUE(view && info && history);
    QApplication::setActiveWindow(&window);
    view->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    // 512 instruction lines with names from the symbol file and the raw
    // numbers in a comment, then the empty line.
    ASSERT_EQ(view->lines(), 513);
    EXPECT_EQ(view->text(1),
              "LOG\t\tACCUM C_80000 IN_SPARE_R OUT_FRONT_L// 0C 056 04A 01F 020\r\n");
    EXPECT_EQ(view->text(0), "MACS\tC_0 FX_0 0x100 0x10D\t\t// 00 040 000 100 10D\r\n");
    const QRegularExpression comment("// [0-9A-F]{2}( [0-9A-F]{3}){4}\r\n$");
    for (int line = 0; line < 512; ++line)
        ASSERT_TRUE(comment.match(view->text(line)).hasMatch()) << "line " << line;
    EXPECT_EQ(view->text(512), "");

    auto changed = [view] {
        std::vector<int> lines;
        for (int line = 0; line < view->lines(); ++line)
            if (LineFlags(view, line) & kChangedFlag)
                lines.push_back(line);
        return lines;
    };
    EXPECT_TRUE(changed().empty());

    view->setCursorPosition(2, 0);
    Reload(kSecond);
    QTest::keyClick(view, Qt::Key_F5);
    EXPECT_EQ(changed(), (std::vector<int>{2, 300, 511}));
    EXPECT_EQ(info->text(), "Instruction 2 Field 0");
    EXPECT_EQ(view->text(2).left(5), "MACW\t");
    EXPECT_EQ(history->toPlainText(), " MACS C_0 FX_1 0x101 0x10E\t");

    Reload(kThird);
    QTest::keyClick(view, Qt::Key_F5);
    EXPECT_EQ(changed(), (std::vector<int>{2, 100}));
    EXPECT_EQ(history->toPlainText(), " MACW C_0 FX_1 0x101 0x10E\t\n MACS C_0 FX_1 0x101 0x10E\t");

    // F6 walks the changed lines and wraps.
    for (int expected : {100, 2, 100}) {
        QTest::keyClick(view, Qt::Key_F6);
        EXPECT_EQ(window.caretLine(), expected);
    }

    // The next use of register 0x150: from R of instruction 10.
    SelectField(&window, view, 10, 4);
    QTest::keyClick(view, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(info->text(), "Instruction 20 Field 2");
    QTest::keyClick(view, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(info->text(), "Instruction 30 Field 4");
    QTest::keyClick(view, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(info->text(), "Instruction 10 Field 1");

    window.allowClose();
}

} // namespace
