#include "register_grid.h"
#include "register_window.h"
#include "support/modal_box.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <set>
#include <vector>

// Readable failure messages.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QColor kNavy(0x00, 0x00, 0x80);

class RegisterWindowTest : public ::testing::Test {
  protected:
    RegisterWindowTest() {
        entry.setCheckable(true);
        entry.setChecked(true);
    }
    ~RegisterWindowTest() override {
        if (window)
            window->allowClose();
    }

    void Open() {
        window = std::make_unique<RegisterWindow>(&entry, images, [this] {
            ++reads;
            images.Refresh([this](int32_t* values) {
                std::copy(chip.begin(), chip.end(), values);
                return 0;
            });
        });
        window->show();
        QCoreApplication::processEvents();
    }

    QTableWidget* Grid() const { return window->findChild<QTableWidget*>("lstGPR"); }
    QTableWidget* Info() const { return window->findChild<QTableWidget*>("lstRegInfo"); }
    QTreeWidget* History() const { return window->findChild<QTreeWidget*>("lstHistory"); }
    QTableWidgetItem* Cell(int32_t index) const {
        const GridCell cell = RegisterCell(index);
        return Grid()->item(cell.row, cell.column);
    }
    int32_t Current() const {
        return RegisterAt({Grid()->currentRow(), Grid()->currentColumn()}).value_or(-1);
    }
    QString InfoValue(int row) const { return Info()->item(row, 1)->text(); }
    QString HistoryRow(int k) const { return History()->topLevelItem(k - 1)->text(0); }

    std::set<int32_t> NavyCells() const {
        std::set<int32_t> navy;
        for (int32_t i = 0; i < 512; ++i)
            if (Cell(i)->foreground().color() == kNavy && Cell(i)->foreground() != Qt::NoBrush)
                navy.insert(i);
        return navy;
    }
    bool Highlighted(int32_t index) const {
        const QPalette& palette = Grid()->palette();
        return Cell(index)->background() == palette.highlight() &&
               Cell(index)->foreground() == palette.highlightedText();
    }
    bool Plain(int32_t index) const {
        return Cell(index)->background().style() == Qt::NoBrush &&
               Cell(index)->foreground().style() == Qt::NoBrush;
    }

    void Select(int32_t index) {
        const GridCell cell = RegisterCell(index);
        Grid()->setCurrentCell(cell.row, cell.column);
    }
    void Trigger(const char* name) {
        QAction* action = window->findChild<QAction*>(name);
        ASSERT_NE(action, nullptr) << name;
        action->trigger();
    }
    void Update() { Trigger("mnuViewUpdate"); }
    int TopRow() const { return Grid()->rowAt(0); }

    std::vector<int32_t> chip = std::vector<int32_t>(512, 0);
    GprHistory images;
    int reads = 0;
    QAction entry{"General Perpose &Registers"};
    std::unique_ptr<RegisterWindow> window;
};

TEST_F(RegisterWindowTest, OpensOnTheFirstRegisterWithNothingColoured) {
    for (int32_t i = 0; i < 512; ++i)
        chip[i] = i * 0x00010001;
    chip[511] = -1;
    Open();
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(window->objectName(), "winGpr");
    EXPECT_EQ(window->windowTitle(), "General Purpose Registers");
    EXPECT_EQ(window->y(), 52); // 780 twips

    ASSERT_EQ(Grid()->rowCount(), 129);
    ASSERT_EQ(Grid()->columnCount(), 5);
    EXPECT_TRUE(Grid()->isRowHidden(0));
    EXPECT_EQ(Grid()->columnWidth(0), 26);
    for (int column = 1; column < 5; ++column)
        EXPECT_EQ(Grid()->columnWidth(column), 62);
    EXPECT_EQ(Grid()->item(1, 0)->text(), "100");
    EXPECT_EQ(Grid()->item(65, 0)->text(), "200");
    EXPECT_EQ(Grid()->item(128, 0)->text(), "2FC");
    EXPECT_EQ(Cell(0)->text(), "00000000");
    EXPECT_EQ(Cell(5)->text(), "00050005");
    EXPECT_EQ(Cell(510)->text(), "01FE01FE");
    EXPECT_EQ(Cell(511)->text(), "FFFFFFFF");

    EXPECT_EQ(Current(), 0);
    EXPECT_TRUE(Highlighted(0));
    EXPECT_TRUE(NavyCells().empty());
    for (int32_t i = 1; i < 512; ++i)
        ASSERT_TRUE(Plain(i)) << i;

    ASSERT_EQ(Info()->rowCount(), 6);
    ASSERT_EQ(Info()->columnCount(), 2);
    EXPECT_EQ(Info()->columnSpan(0, 0), 2);
    EXPECT_EQ(Info()->item(0, 0)->text(), "Register Info");
    EXPECT_EQ(Info()->item(0, 1)->text(), "Register Info");
    const QStringList labels = {"Type", "Address", "Hex", "Integer", "Fractional"};
    const QStringList values = {"General Purpose", " 0x100", " 0x00000000", " 0", " 0.00"};
    for (int row = 1; row <= 5; ++row) {
        EXPECT_EQ(Info()->item(row, 0)->text(), labels[row - 1]);
        EXPECT_EQ(InfoValue(row), values[row - 1]);
    }

    EXPECT_EQ(History()->headerItem()->text(0), "Register History");
    ASSERT_EQ(History()->topLevelItemCount(), 4);
    for (int k = 1; k <= 4; ++k)
        EXPECT_TRUE(HistoryRow(k).isEmpty()) << k;
}

TEST_F(RegisterWindowTest, UpdateColoursExactlyTheChangedRegisters) {
    chip[0] = 0x40000000;
    chip[7] = 3;
    Open();
    chip[0] = std::numeric_limits<int32_t>::min();
    chip[7] = 3; // written again with the same value: not a change
    chip[9] = 1;
    chip[256] = -5;
    chip[511] = 0x7FFFFFFF;
    Update();
    EXPECT_EQ(reads, 2);
    EXPECT_EQ(NavyCells(), (std::set<int32_t>{9, 256, 511}));
    EXPECT_EQ(Cell(9)->background().color(), QColor(Qt::white));
    EXPECT_EQ(Cell(511)->text(), "7FFFFFFF");

    // The current cell changed as well: highlighted now, navy once left.
    EXPECT_EQ(Current(), 0);
    EXPECT_TRUE(Highlighted(0));
    EXPECT_EQ(Cell(0)->text(), "80000000");
    EXPECT_EQ(InfoValue(3), " 0x80000000");
    EXPECT_EQ(InfoValue(4), " -2147483648");
    EXPECT_EQ(InfoValue(5), " -1.00");
    EXPECT_EQ(HistoryRow(1), "1073741824 / 0.50");
    EXPECT_TRUE(HistoryRow(2).isEmpty());
    Select(1);
    EXPECT_EQ(NavyCells(), (std::set<int32_t>{0, 9, 256, 511}));
    EXPECT_EQ(Cell(0)->background().style(), Qt::NoBrush);
}

TEST_F(RegisterWindowTest, ChangedRegisterKeepsItsNavyAfterTheHighlightPasses) {
    Open();
    chip[5] = 42;
    Update();
    Select(5);
    EXPECT_TRUE(Highlighted(5));
    EXPECT_TRUE(Plain(0));
    Select(6);
    EXPECT_EQ(NavyCells(), (std::set<int32_t>{5}));
    EXPECT_TRUE(Highlighted(6));
    QTest::keyClick(Grid(), Qt::Key_Left); // back over it by keyboard
    EXPECT_EQ(Current(), 5);
    QTest::keyClick(Grid(), Qt::Key_Down);
    EXPECT_EQ(Current(), 9);
    EXPECT_EQ(NavyCells(), (std::set<int32_t>{5}));
    EXPECT_TRUE(Plain(6));

    Update(); // same values: the colours follow the new comparison only
    EXPECT_TRUE(NavyCells().empty());
    Select(5);
    Select(6);
    EXPECT_TRUE(Plain(5));
}

TEST_F(RegisterWindowTest, SelectingShowsKindAddressAndTheValueInThreeForms) {
    chip[164] = std::numeric_limits<int32_t>::min();
    chip[416] = -1;
    Open();
    Select(164);
    const QStringList values = {"General Purpose", " 0x1A4", " 0x80000000", " -2147483648",
                                " -1.00"};
    for (int row = 1; row <= 5; ++row)
        EXPECT_EQ(InfoValue(row), values[row - 1]);
    EXPECT_EQ(Cell(164)->text(), "80000000");
    Select(416);
    EXPECT_EQ(InfoValue(1), "Unknown/Empty");
    EXPECT_EQ(InfoValue(4), " -1");
}

TEST_F(RegisterWindowTest, HistoryFillsNewestFirstAsReadsAccumulate) {
    chip[2] = 10;
    Open();
    Select(2);
    for (int32_t value : {20, 30}) {
        chip[2] = value;
        Update();
    }
    EXPECT_EQ(HistoryRow(1), "20 / 0.00");
    EXPECT_EQ(HistoryRow(2), "10 / 0.00");
    EXPECT_TRUE(HistoryRow(3).isEmpty());
    EXPECT_TRUE(HistoryRow(4).isEmpty());

    for (int32_t value : {0x40000000, 50, 60}) {
        chip[2] = value;
        Update();
    }
    EXPECT_EQ(HistoryRow(1), "50 / 0.00");
    EXPECT_EQ(HistoryRow(2), "1073741824 / 0.50");
    EXPECT_EQ(HistoryRow(3), "30 / 0.00");
    EXPECT_EQ(HistoryRow(4), "20 / 0.00"); // the first read has aged out
    EXPECT_EQ(InfoValue(4), " 60");

    Select(3); // another register shows its own history
    EXPECT_EQ(HistoryRow(1), "0 / 0.00");
}

TEST_F(RegisterWindowTest, FindBeforeASecondReadSaysNotFound) {
    chip[10] = 1;
    Open();
    for (const char* find : {"mnuFindChAny", "mnuFindChGpr", "mnuFindChTram"}) {
        ModalBoxAnswer answer;
        Trigger(find);
        EXPECT_TRUE(answer.seen()) << find;
        EXPECT_EQ(answer.text(), "Not Found");
        EXPECT_EQ(answer.title(), "Find");
        EXPECT_EQ(answer.buttonCount(), 1);
        EXPECT_EQ(Current(), 0);
    }
}

TEST_F(RegisterWindowTest, FindsStayInTheirRangeAndWrap) {
    Open();
    for (int32_t i : {5, 300, 450})
        chip[i] = 1;
    Update();
    Select(255);
    Trigger("mnuFindChTram");
    EXPECT_EQ(Current(), 300);
    EXPECT_TRUE(Highlighted(300));
    EXPECT_EQ(InfoValue(2), " 0x22C");
    Trigger("mnuFindChTram"); // the only change of the range: the pass ends before it
    EXPECT_EQ(Current(), 300);
    Trigger("mnuFindChAny");
    EXPECT_EQ(Current(), 450);
    EXPECT_EQ(NavyCells(), (std::set<int32_t>{5, 300}));
    Trigger("mnuFindChAny");
    EXPECT_EQ(Current(), 5);
    Trigger("mnuFindChGpr");
    EXPECT_EQ(Current(), 5);

    Select(400);
    Trigger("mnuFindChGpr"); // from outside the range: its first change
    EXPECT_EQ(Current(), 5);
    EXPECT_TRUE(Plain(400));
}

TEST_F(RegisterWindowTest, FindScrollsOnlyWhenTheTargetRowIsOutOfView) {
    Open();
    for (int32_t i : {2, 300, 305, 309})
        chip[i] = 1;
    Update();
    ASSERT_EQ(TopRow(), 1);
    Trigger("mnuFindChAny");
    EXPECT_EQ(Current(), 2);
    EXPECT_EQ(TopRow(), 1);

    Trigger("mnuFindChAny");
    EXPECT_EQ(Current(), 300);
    EXPECT_EQ(TopRow(), 76); // the row of 0x22C moved to the top
    Trigger("mnuFindChAny");
    EXPECT_EQ(Current(), 305);
    EXPECT_EQ(TopRow(), 76); // row 77 was in view
    Trigger("mnuFindChAny");
    EXPECT_EQ(Current(), 309);
    EXPECT_EQ(TopRow(), 76);
    Trigger("mnuFindChAny");
    EXPECT_EQ(Current(), 2);
    EXPECT_EQ(TopRow(), 1);
}

TEST_F(RegisterWindowTest, AddressColumnCannotBecomeCurrent) {
    chip[4] = 7;
    Open();
    Select(1);
    QTableWidgetItem* heading = Grid()->item(2, 0);
    QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {},
                      Grid()->visualItemRect(heading).center());
    EXPECT_EQ(Current(), 1);
    QTest::keyClick(Grid(), Qt::Key_Left);
    EXPECT_EQ(Current(), 0);
    QTest::keyClick(Grid(), Qt::Key_Left);
    EXPECT_EQ(Current(), 0);
    EXPECT_TRUE(Highlighted(0));

    QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {},
                      Grid()->visualItemRect(Cell(4)).center());
    EXPECT_EQ(Current(), 4);
    EXPECT_EQ(InfoValue(4), " 7");
    EXPECT_TRUE(Plain(0));
}

TEST_F(RegisterWindowTest, MenusAndTheirKeys) {
    Open();
    struct Entry {
        const char* name;
        const char* text;
        QKeySequence key;
        bool enabled;
    };
    const Entry entries[] = {
        {"mnuFindChAny", "&Any Register", QKeySequence(Qt::Key_F6), true},
        {"mnuFindChGpr", "&General Purpose Register", QKeySequence(Qt::CTRL | Qt::Key_G), true},
        {"mnuFindChTram", "&Tank Data Register", QKeySequence(Qt::CTRL | Qt::Key_T), true},
        {"mnuFindSearch", "&Search Something...", QKeySequence(Qt::SHIFT | Qt::Key_F3), false},
        {"mnuViewUpdate", "&Update", QKeySequence(Qt::Key_F5), true},
        {"mnuViewOnTop", "Always On &Top", QKeySequence(), false},
    };
    for (const Entry& e : entries) {
        QAction* action = window->findChild<QAction*>(e.name);
        ASSERT_NE(action, nullptr) << e.name;
        EXPECT_EQ(action->text(), e.text);
        EXPECT_EQ(action->shortcut(), e.key) << e.name;
        EXPECT_EQ(action->isEnabled(), e.enabled) << e.name;
    }
    QMenu* find = window->findChild<QMenu*>("mnuFind");
    QMenu* changed = window->findChild<QMenu*>("mnuFindChanged");
    QMenu* view = window->findChild<QMenu*>("mnuView");
    ASSERT_TRUE(find && changed && view);
    EXPECT_EQ(find->title(), "&Find");
    EXPECT_EQ(changed->title(), "Changed");
    EXPECT_EQ(view->title(), "&View");
    EXPECT_EQ(find->actions().first(), changed->menuAction());
    EXPECT_TRUE(find->actions().at(1)->isSeparator());

    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_F5);
    EXPECT_EQ(reads, 2);
}

TEST_F(RegisterWindowTest, CloseHidesKeepsStateAndDoesNotReadAgain) {
    Open();
    chip[20] = 9;
    Update();
    Select(20);
    EXPECT_FALSE(window->close());
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(entry.isChecked());
    window->show();
    EXPECT_EQ(reads, 2);
    EXPECT_EQ(Current(), 20);
    EXPECT_EQ(HistoryRow(1), "0 / 0.00");
    Select(21);
    EXPECT_EQ(NavyCells(), (std::set<int32_t>{20}));
}

TEST_F(RegisterWindowTest, FixedLayoutOfTheThreeControls) {
    Open();
    EXPECT_EQ(window->centralWidget()->size(), QSize(446, 294));
    EXPECT_EQ(Grid()->geometry(), QRect(0, 0, 296, 293));
    EXPECT_EQ(Info()->geometry(), QRect(296, 0, 150, 117));
    EXPECT_EQ(History()->geometry(), QRect(296, 118, 150, 79));
    EXPECT_EQ(Info()->columnWidth(0), 59);
    EXPECT_EQ(Info()->columnWidth(1), 88);
}

} // namespace
