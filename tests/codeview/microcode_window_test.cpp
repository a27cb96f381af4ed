// winInstrMem against a stand-in chip: layout, menus, caret information,
// change marks, history and the two searches.
#include "code_view.h"
#include "instruction_text.h"
#include "listing_language_setup.h"
#include "microcode_window.h"
#include "support/modal_box.h"

#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr MicrocodeInstruction kNop{6, 0x40, 0x40, 0x40, 0x40};

class MicrocodeWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        RegisterShippedListingLanguageOnce();
        entry_.setCheckable(true);
        entry_.setChecked(true);
        chip_.assign(512, kNop);
        CodeSource source{[this] {
                              ++reads_;
                              RefreshOrEnd(history_, [this](MicrocodeInstruction* code) {
                                  std::copy(chip_.begin(), chip_.end(), code);
                                  return 0;
                              });
                          },
                          &history_};
        window_ = std::make_unique<MicrocodeWindow>(&entry_, source);
        view_ = window_->findChild<QsciScintilla*>("CodeView");
        ASSERT_NE(view_, nullptr);
    }
    void TearDown() override {
        if (window_)
            window_->allowClose();
    }

    QAction* Action(const char* name) {
        auto* action = window_->findChild<QAction*>(name);
        EXPECT_NE(action, nullptr) << name;
        return action;
    }
    QString SelInfo() { return window_->findChild<QLabel*>("txtSelInfo")->text(); }
    QString History() { return window_->findChild<QPlainTextEdit*>("txtHistory")->toPlainText(); }
    void Update() { Action("mnuViewUpdate")->trigger(); }
    void Caret(int line, int column) {
        view_->setCursorPosition(line, column);
        window_->SelChanged();
    }
    int CaretLineOfView() {
        int line, index;
        view_->getCursorPosition(&line, &index);
        return line;
    }
    int ColumnOf(int line, const char* text) {
        return static_cast<int>(view_->text(line).indexOf(text));
    }
    bool RegisterEntriesEnabled() {
        const bool any = Action("mnuFindIWRAny")->isEnabled();
        EXPECT_EQ(Action("mnuFindIWRInp")->isEnabled(), any);
        EXPECT_EQ(Action("mnuFindIWROut")->isEnabled(), any);
        return any;
    }
    std::vector<int> ChangedLines() {
        std::vector<int> lines;
        for (int line = 0; line < view_->lines(); ++line)
            if (LineFlags(view_, line) & kChangedFlag)
                lines.push_back(line);
        return lines;
    }
    void Activate() {
        QApplication::setActiveWindow(window_.get());
        view_->setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    }

    QAction entry_{"Micro&code Memory"};
    std::vector<MicrocodeInstruction> chip_;
    CodeHistory history_;
    int reads_ = 0;
    std::unique_ptr<MicrocodeWindow> window_;
    QsciScintilla* view_ = nullptr;
};

TEST_F(MicrocodeWindowTest, LoadingReadsOnceAndShowsTheWholeListing) {
    EXPECT_EQ(reads_, 1);
    EXPECT_EQ(window_->objectName(), "winInstrMem");
    EXPECT_EQ(window_->windowTitle(), "Microcode Memory");
    EXPECT_TRUE(window_->isVisible());
    ASSERT_EQ(view_->lines(), 513);
    EXPECT_EQ(view_->text(200).toStdString(), FormatInstruction(kNop, 4, false) + "\r\n");
    EXPECT_EQ(SelInfo(), "Instruction 0 Field 0");
    EXPECT_EQ(History(), "") << "one read: no earlier versions";
    EXPECT_TRUE(ChangedLines().empty());
    EXPECT_EQ(LineFlags(view_, 0), kCaretFlag);
}

TEST_F(MicrocodeWindowTest, FixedLayoutInTwips) {
    EXPECT_EQ(view_->geometry(), QRect(0, 0, 538, 308));
    EXPECT_EQ(window_->findChild<QLabel*>("txtSelInfo")->geometry(), QRect(8, 352, 121, 17));
    EXPECT_EQ(window_->findChild<QPlainTextEdit*>("txtHistory")->geometry(),
              QRect(298, 310, 240, 60));
    EXPECT_EQ(window_->centralWidget()->size(), QSize(538, 372));
    EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
    EXPECT_EQ(window_->font().family(), "Tahoma");
    EXPECT_DOUBLE_EQ(window_->font().pointSizeF(), 8.25);
}

TEST_F(MicrocodeWindowTest, MenusCarryTheirCaptionsShortcutsAndStates) {
    struct Entry {
        const char* name;
        const char* caption;
        QKeySequence shortcut;
        bool enabled;
    };
    const Entry entries[] = {
        {"mnuFindChInstr", "Changed &Instruction", QKeySequence(Qt::Key_F6), true},
        {"mnuFindIWR", "Instruction with that &register", QKeySequence(), true},
        {"mnuFindIWRAny", "as &Any", QKeySequence(Qt::CTRL | Qt::Key_P), false},
        {"mnuFindIWRInp", "as &Input", QKeySequence(Qt::CTRL | Qt::Key_L), false},
        {"mnuFindIWROut", "as &Output", QKeySequence(Qt::CTRL | Qt::Key_O), false},
        {"mnuFindSome", "Search Something...", QKeySequence(Qt::SHIFT | Qt::Key_F3), false},
        {"mnuViewUpdate", "&Update", QKeySequence(Qt::Key_F5), true},
        {"mnuViewOnTop", "Always On &Top", QKeySequence(), false},
        {"mnuJump2GPRV", "Jump to GPR View", QKeySequence(), true},
    };
    for (const Entry& e : entries) {
        QAction* action = Action(e.name);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->text(), e.caption) << e.name;
        EXPECT_EQ(action->shortcut(), e.shortcut) << e.name;
        EXPECT_EQ(action->isEnabled(), e.enabled) << e.name;
    }
    EXPECT_TRUE(Action("sepa")->isSeparator());
    EXPECT_TRUE(Action("sepb")->isSeparator());
    EXPECT_FALSE(Action("mnuJump")->isVisible());
}

TEST_F(MicrocodeWindowTest, CaretInformationFollowsTheSelection) {
    Caret(7, 0);
    EXPECT_EQ(SelInfo(), "Instruction 7 Field 0");
    EXPECT_FALSE(RegisterEntriesEnabled());
    EXPECT_EQ(LineFlags(view_, 0), 0) << "the caret marker left line 0";
    EXPECT_EQ(LineFlags(view_, 7), kCaretFlag);
    EXPECT_EQ(window_->caretLine(), 7);

    Caret(7, ColumnOf(7, "C_0") + 1);
    EXPECT_EQ(SelInfo(), "Instruction 7 Field 1");
    EXPECT_TRUE(RegisterEntriesEnabled());

    Caret(7, ColumnOf(7, "//") + 3);
    EXPECT_EQ(SelInfo(), "Instruction 7 Field ?");
    EXPECT_FALSE(RegisterEntriesEnabled());

    // A selection over the A and X fields.
    view_->setSelection(9, ColumnOf(9, "C_0"), 9, ColumnOf(9, "C_0") + 6);
    window_->SelChanged();
    EXPECT_EQ(SelInfo(), "Instruction 9 Field ?");
    EXPECT_FALSE(RegisterEntriesEnabled());

    Caret(512, 0);
    EXPECT_EQ(SelInfo(), "Instruction 512 Field ?");
    EXPECT_EQ(History(), "");
}

TEST_F(MicrocodeWindowTest, MovingTheCaretNotifiesTheWindow) {
    Activate();
    QTest::keyClick(view_, Qt::Key_Down);
    QTest::keyClick(view_, Qt::Key_Down);
    for (int i = 0; i < 100 && window_->caretLine() != 2; ++i)
        QTest::qWait(10);
    EXPECT_EQ(window_->caretLine(), 2);
    EXPECT_EQ(SelInfo(), "Instruction 2 Field 0");
}

TEST_F(MicrocodeWindowTest, UpdateMarksExactlyTheChangedInstructions) {
    Caret(3, 0);
    chip_[3].R = 0x101;
    chip_[400].Opcode = 0;
    Update();
    EXPECT_EQ(reads_, 2);
    EXPECT_EQ(ChangedLines(), (std::vector<int>{3, 400}));
    EXPECT_EQ(LineFlags(view_, 3), kChangedFlag | kCaretFlag);
    EXPECT_EQ(SelInfo(), "Instruction 3 Field 0");
    EXPECT_EQ(QString::fromStdString(std::string(" ").append(FormatInstruction(kNop, 3, true))),
              History());

    Update();
    EXPECT_TRUE(ChangedLines().empty()) << "nothing changed since the last read";
    EXPECT_EQ(History().split('\n').first().toStdString(),
              std::string(" ").append(FormatInstruction(chip_[3], 3, true)));
}

TEST_F(MicrocodeWindowTest, SixUpdatesLeaveTheFourNewestEarlierVersions) {
    for (int i = 1; i <= 6; ++i) {
        chip_[5].A = 0x100 + i;
        Update();
    }
    Caret(5, 0);
    const QStringList lines = History().split('\n');
    ASSERT_EQ(lines.size(), 4);
    for (int k = 1; k <= 4; ++k) {
        MicrocodeInstruction earlier = kNop;
        earlier.A = 0x100 + 6 - k;
        EXPECT_EQ(lines[k - 1].toStdString(),
                  std::string(" ").append(FormatInstruction(earlier, 3, true)))
            << k;
    }
    // All four show in the box: no scroll bar takes the room of one.
    auto* box = window_->findChild<QPlainTextEdit*>("txtHistory");
    const QRect last = box->cursorRect(QTextCursor(box->document()->lastBlock()));
    EXPECT_LE(last.y() + last.height(), box->viewport()->height());
    EXPECT_FALSE(box->horizontalScrollBar()->isVisible());
}

TEST_F(MicrocodeWindowTest, F6WithoutChangesGoesToTheStartOfItsOwnLine) {
    Update();
    Caret(10, 7);
    Action("mnuFindChInstr")->trigger();
    int line, index;
    view_->getCursorPosition(&line, &index);
    EXPECT_EQ(line, 10);
    EXPECT_EQ(index, 0);
}

TEST_F(MicrocodeWindowTest, RegisterSearchWithoutHitSaysNotFound) {
    chip_[10] = {0, 0x1AB, 0x41, 0x42, 0x43};
    Update();
    SelectField(window_.get(), view_, 10, 1);
    ModalBoxAnswer answer;
    Action("mnuFindIWRAny")->trigger();
    EXPECT_TRUE(answer.seen());
    EXPECT_EQ(answer.text(), "Not Found!");
    EXPECT_EQ(answer.title(), "Find");
    EXPECT_EQ(answer.buttonCount(), 1);
    EXPECT_EQ(SelInfo(), "Instruction 10 Field 1");
    EXPECT_EQ(view_->selectedText(), "0x1AB ");
}

TEST_F(MicrocodeWindowTest, CloseHidesUnchecksAndKeepsTheListing) {
    chip_[3].R = 0x101;
    Update();
    window_->close();
    EXPECT_FALSE(window_->isVisible());
    EXPECT_FALSE(entry_.isChecked());
    EXPECT_EQ(view_->lines(), 513);
    EXPECT_EQ(ChangedLines(), std::vector<int>{3});
}

} // namespace
