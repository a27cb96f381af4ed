#include "tank_window.h"

#include <QAction>
#include <QMenu>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

constexpr int32_t Write(int32_t addr) {
    return kTramWriteBit | addr;
}
constexpr int32_t Read(int32_t addr) {
    return kTramReadBit | addr;
}
const QColor kNavy(0x00, 0x00, 0x80);

class TankWindowTest : public ::testing::Test {
  protected:
    TankWindowTest() {
        entry.setCheckable(true);
        entry.setChecked(true);
    }
    ~TankWindowTest() override {
        if (window)
            window->allowClose();
    }

    void Open() {
        window = std::make_unique<TankWindow>(
            &entry, tanks, [this](int32_t first, int32_t count, int32_t* values) -> int32_t {
                EXPECT_EQ(first, 0x300);
                std::copy_n(chip.begin(), std::min(count, 256), values);
                return 0;
            });
        window->show();
    }

    QTreeWidget* Tree() const { return window->findChild<QTreeWidget*>("trvTanks"); }
    QTreeWidget* Info() const { return window->findChild<QTreeWidget*>("lstTankInfo"); }

    QTreeWidgetItem* Node(const QString& key) const {
        QTreeWidgetItemIterator it(Tree());
        for (; *it; ++it)
            if ((*it)->data(0, Qt::UserRole).toString() == key)
                return *it;
        return nullptr;
    }
    QString Selected() const { return Tree()->currentItem()->data(0, Qt::UserRole).toString(); }

    QString Value(int row) const { return Info()->topLevelItem(row)->text(1); }
    bool AllValuesEmpty() const {
        for (int row = 0; row < 10; ++row)
            if (!Value(row).isEmpty())
                return false;
        return true;
    }

    void Click(const QString& key) {
        QTreeWidgetItem* node = Node(key);
        ASSERT_NE(node, nullptr) << key.toStdString();
        Tree()->scrollToItem(node);
        QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {},
                          Tree()->visualItemRect(node).center());
    }
    void Update() { window->findChild<QAction*>("mnuViewUpdate")->trigger(); }
    void Set(std::initializer_list<std::pair<int, int32_t>> registers) {
        for (auto [index, value] : registers)
            chip[index] = value;
    }

    TramAddrImage chip{};
    TankMemory tanks;
    QAction entry{"&Tank Memory Usage"};
    std::unique_ptr<TankWindow> window;
};

TEST_F(TankWindowTest, NoTanksLeavesTheThreeFixedNodes) {
    Open();
    EXPECT_EQ(window->objectName(), "winTram");
    EXPECT_EQ(window->windowTitle(), "Tank Memory Usage");
    EXPECT_EQ(window->y(), 56);

    ASSERT_EQ(Tree()->topLevelItemCount(), 1);
    QTreeWidgetItem* root = Tree()->topLevelItem(0);
    EXPECT_EQ(root->text(0), "TRAM");
    ASSERT_EQ(root->childCount(), 2);
    EXPECT_EQ(root->child(0)->text(0), "8010");
    EXPECT_EQ(root->child(1)->text(0), "Host");
    EXPECT_EQ(Node("chip"), root->child(0));
    EXPECT_EQ(Node("host"), root->child(1));
    EXPECT_EQ(root->child(0)->childCount() + root->child(1)->childCount(), 0);
    EXPECT_TRUE(root->isExpanded() && root->child(0)->isExpanded() && root->child(1)->isExpanded());
    EXPECT_EQ(Selected(), "root");

    ASSERT_EQ(Info()->topLevelItemCount(), 10);
    EXPECT_EQ(Info()->topLevelItem(0)->text(0), "Type");
    EXPECT_EQ(Info()->topLevelItem(9)->text(0), "Read Flags");
    EXPECT_TRUE(AllValuesEmpty());
}

TEST_F(TankWindowTest, TankNodesCarryKeysAndLabels) {
    Set({{0, Write(100)},
         {1, Read(112)},
         {2, Write(500)},
         {3, Write(900)},
         {4, Read(948)},
         {128, Write(0)},
         {129, Read(1000)},
         {130, Write(5000)}});
    Open();
    QTreeWidgetItem* internal = Node("chip");
    ASSERT_EQ(internal->childCount(), 3);
    EXPECT_EQ(internal->child(0)->text(0), "itank0 (0.3ms)");
    EXPECT_EQ(internal->child(1)->text(0), "itank1(?)");
    EXPECT_EQ(internal->child(2)->text(0), "itank2 (1.0ms)");
    EXPECT_EQ(Node("i2"), internal->child(2));
    QTreeWidgetItem* external = Node("host");
    ASSERT_EQ(external->childCount(), 2);
    EXPECT_EQ(external->child(0)->text(0), "etank0 (20ms)");
    EXPECT_EQ(external->child(0)->toolTip(0), "etank0 (20ms)"); // whole where the tree is narrow
    EXPECT_EQ(external->child(1)->text(0), "etank1(?)");
    EXPECT_EQ(Node("e1"), external->child(1));
    EXPECT_EQ(Selected(), "root");
    EXPECT_TRUE(AllValuesEmpty()); // selecting from the program fills nothing
}

TEST_F(TankWindowTest, ClickingATankFillsTheRowsAndAPoolEmptiesThem) {
    Set({{5, Write(100)},
         {1, Read(148)},
         {3, Read(196) | kTramAlignBit},
         {128, Write(0)},
         {129, Read(1000)}});
    Open();

    Click("i0");
    const QStringList expected = {"Internal", "0x205",   "2", "0x201 0x203",     "48 96",
                                  "1.0 2.0",  "0x00064", "",  "0x00094 0x000C4", " align"};
    for (int row = 0; row < 10; ++row) {
        EXPECT_EQ(Value(row), expected[row]) << row;
        QTreeWidgetItem* item = Info()->topLevelItem(row);
        EXPECT_EQ(item->toolTip(0), item->text(0) + ' ' + expected[row]);
        EXPECT_EQ(item->toolTip(1), item->toolTip(0));
    }
    EXPECT_EQ(Info()->topLevelItem(1)->toolTip(1), "Write Register 0x205");

    Click("e0");
    EXPECT_EQ(Value(0), "External");
    EXPECT_EQ(Value(1), "0x280");
    EXPECT_EQ(Value(5), "21");

    for (const char* pool : {"host", "chip", "root"}) {
        Click("i0");
        ASSERT_FALSE(AllValuesEmpty());
        Click(pool);
        EXPECT_TRUE(AllValuesEmpty()) << pool;
    }
}

TEST_F(TankWindowTest, TankWithoutReadPointsOrOverfullCanBeShown) {
    chip[0] = Write(10);
    for (int r = 1; r <= 40; ++r)
        chip[r] = Read(10 + r);
    chip[128] = Write(7);
    Open();
    Click("e0");
    EXPECT_EQ(Value(2), "0");
    EXPECT_EQ(Value(3), "");
    EXPECT_EQ(Value(6), "0x00007");
    Click("i0");
    EXPECT_TRUE(Value(2).startsWith("32 ("));
    EXPECT_EQ(Value(4).split(' ').size(), 32);
}

TEST_F(TankWindowTest, UpdateSelectsTheSameKeyAgainAndShowsItsNewValues) {
    Set({{0, Write(100)}, {1, Read(148)}, {2, Write(500)}, {3, Read(596)}});
    Open();
    Click("i1");
    EXPECT_EQ(Value(4), "96");

    chip[3] = Read(548);
    Update();
    EXPECT_EQ(Selected(), "i1");
    EXPECT_EQ(Value(4), "48");

    chip[0] = 0; // the first tank goes; key i1 is gone, i0 is the former tank 1
    Update();
    EXPECT_EQ(Selected(), "root");
    EXPECT_TRUE(AllValuesEmpty());

    Click("i0");
    Update();
    EXPECT_EQ(Selected(), "i0");
    EXPECT_EQ(Value(1), "0x202");
}

TEST_F(TankWindowTest, OnlyAMovedFirstReadPointIsNavyUntilTheNextUpdate) {
    Set({{0, Write(100)},
         {1, Read(148)},
         {2, Read(160)},
         {3, Write(500)},
         {4, Read(548)},
         {128, Write(0)},
         {129, Read(96)}});
    Open();
    for (const char* key : {"i0", "i1", "e0"})
        EXPECT_NE(Node(key)->foreground(0).color(), kNavy) << key;

    chip[2] = Read(170);  // second read point of tank 0: no mark
    chip[3] = Write(490); // write address of tank 1: no mark
    chip[129] = Read(144);
    Update();
    EXPECT_NE(Node("i0")->foreground(0).color(), kNavy);
    EXPECT_NE(Node("i1")->foreground(0).color(), kNavy);
    EXPECT_EQ(Node("e0")->foreground(0).color(), kNavy);
    EXPECT_NE(Node("root")->foreground(0).color(), kNavy);

    chip[1] = Read(150);
    Update();
    EXPECT_EQ(Node("i0")->foreground(0).color(), kNavy);
    EXPECT_NE(Node("e0")->foreground(0).color(), kNavy);

    Update();
    EXPECT_NE(Node("i0")->foreground(0).color(), kNavy);
}

TEST_F(TankWindowTest, MenusOfferOnlyTheUpdate) {
    Open();
    QAction* update = window->findChild<QAction*>("mnuViewUpdate");
    ASSERT_NE(update, nullptr);
    EXPECT_TRUE(update->isEnabled());
    EXPECT_EQ(update->text(), "&Update");
    EXPECT_EQ(update->shortcut(), QKeySequence(Qt::Key_F5));
    for (const char* name : {"mnuViewOnTop", "mnuJumpMicrocodeUses", "mnuJumpMicrocodeModifies",
                             "mnuJumpGprWrite", "mnuJumpGprRead"}) {
        QAction* action = window->findChild<QAction*>(name);
        ASSERT_NE(action, nullptr) << name;
        EXPECT_FALSE(action->isEnabled()) << name;
    }
    QMenu* microcode = window->findChild<QMenu*>("mnuJumpMicrocode");
    QMenu* registers = window->findChild<QMenu*>("mnuJumpGpr");
    ASSERT_TRUE(microcode && registers);
    EXPECT_TRUE(microcode->menuAction()->isEnabled() && registers->menuAction()->isEnabled());
    EXPECT_EQ(microcode->title(), "to &Microcode && Search");
    EXPECT_EQ(registers->title(), "to &Registers && Show");
}

TEST_F(TankWindowTest, ResizingMovesOnlyTheListWidthAndTheTreeHeight) {
    Open();
    QWidget* client = window->centralWidget();
    EXPECT_EQ(client->size(), QSize(371, 261));
    EXPECT_EQ(Tree()->geometry(), QRect(0, 0, 161, 260));
    EXPECT_EQ(Info()->geometry(), QRect(162, 0, 209, 161));

    window->resize(window->width() + 100, window->height() + 40);
    QCoreApplication::processEvents();
    EXPECT_EQ(Tree()->geometry(), QRect(0, 0, 161, client->height() - 1));
    EXPECT_EQ(Info()->geometry(), QRect(162, 0, client->width() - 162, 161));
    EXPECT_EQ(Info()->columnWidth(0), 93);
    EXPECT_EQ(Info()->columnWidth(1), 600);

    const int listWidth = Info()->width();
    window->resize(100, window->height());
    QCoreApplication::processEvents();
    ASSERT_LT(client->width(), 162);
    EXPECT_EQ(Info()->width(), listWidth); // a negative width is left out
    EXPECT_EQ(Tree()->width(), 161);
}

TEST_F(TankWindowTest, CloseHidesAndClearsTheViewEntry) {
    chip[0] = Write(100);
    chip[1] = Read(148);
    Open();
    Click("i0");
    EXPECT_FALSE(window->close());
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(entry.isChecked());
    window->show(); // shown again as it was, without a new read
    EXPECT_EQ(Selected(), "i0");
    EXPECT_EQ(Value(4), "48");
}

} // namespace
