// The effects window: listing the effects of the private copy, the tree and
// listing of the selected one, the greyed menus, and close-to-hide.
#include "effects_library.h"
#include "fx_library_files.h"
#include "instruction_text.h"
#include "program_symbols.h"
#include "rifx_window.h"

#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace {

QStringList ChildTexts(const QTreeWidgetItem* item) {
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i)
        texts << item->child(i)->text(0);
    return texts;
}

// Every node of the tree, depth first.
std::vector<QTreeWidgetItem*> AllItems(QTreeWidget* tree) {
    std::vector<QTreeWidgetItem*> items;
    std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* item) {
        items.push_back(item);
        for (int i = 0; i < item->childCount(); ++i)
            walk(item->child(i));
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        walk(tree->topLevelItem(i));
    return items;
}

QTreeWidgetItem* ByKey(QTreeWidget* tree, const QString& key) {
    for (QTreeWidgetItem* item : AllItems(tree))
        if (item->data(0, Qt::UserRole).toString() == key)
            return item;
    return nullptr;
}

class RifxWindowTest : public ::testing::Test {
  protected:
    void Open(const std::string& description) {
        const std::string system = dir_.path() + "/share/emuaps";
        if (!description.empty()) {
            std::filesystem::create_directories(system);
            WriteLibrary(dir_, description, "share/emuaps/eapsfx.dll");
        }
        LibraryFolders folders{dir_.path(), system, ""};
        entry_ = std::make_unique<QAction>("FX &Dll Code (RIFX)");
        entry_->setCheckable(true);
        entry_->setChecked(true);
        window_ = std::make_unique<RifxWindow>(
            entry_.get(), [folders] { return PrepareEffectsLibrary(folders, {}); });
        combo_ = window_->findChild<QComboBox*>("cmbFX");
        tree_ = window_->findChild<QTreeWidget*>("trvFX");
        view_ = window_->findChild<QsciScintilla*>("CodeView");
        ASSERT_TRUE(combo_ && tree_ && view_);
    }

    void TearDown() override {
        if (window_)
            window_->allowClose();
    }

    QString Listing(std::initializer_list<MicrocodeInstruction> code) const {
        QString text;
        for (const MicrocodeInstruction& i : code)
            text += QString::fromStdString(
                        FormatInstruction(i, view_->tabWidth(), false, CodeOf::OtherProgram)) +
                    "\r\n";
        return text;
    }

    TempDir dir_;
    std::unique_ptr<QAction> entry_;
    std::unique_ptr<RifxWindow> window_;
    QComboBox* combo_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    QsciScintilla* view_ = nullptr;
};

const std::string kLibrary = "filler 300\n" + FullEffect("Alpha") + "filler 40\n" + R"(rifx
  ckid "FX" "1" "Beta"
  rsrc 0
  code
    0x08 0x100 0x101 0x102 0x103
  end
end
)" + TinyEffect("Gamma", 0x1A);

TEST_F(RifxWindowTest, LoadingListsTheEffectsAndShowsTheFirst) {
    Open(kLibrary);
    EXPECT_EQ(window_->objectName(), "winRifx");
    EXPECT_EQ(window_->windowTitle(), "FX Code View (eapsfx.dll)");
    EXPECT_TRUE(window_->isVisible());
    ASSERT_EQ(combo_->count(), 3);
    EXPECT_EQ(combo_->itemText(0), "Alpha");
    EXPECT_EQ(combo_->itemText(2), "Gamma");
    EXPECT_EQ(combo_->currentIndex(), 0);

    ASSERT_EQ(tree_->topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree_->topLevelItem(0);
    EXPECT_EQ(root->text(0), "FX");
    EXPECT_EQ(ChildTexts(root), (QStringList{"rsrc", "gpri", "patc"}));
    EXPECT_EQ(ChildTexts(ByKey(tree_, "gprs")), (QStringList{"0000", "8000", "FFFF"}));
    EXPECT_EQ(ChildTexts(ByKey(tree_, "scal")), (QStringList{"iscl", "wscl"}));
    EXPECT_EQ(ChildTexts(ByKey(tree_, "inp ")), (QStringList{"0000", "0001"}));
    // Only the root is expanded; there is no node for ckid or code.
    for (QTreeWidgetItem* item : AllItems(tree_)) {
        EXPECT_EQ(item->isExpanded(), item == root) << item->text(0).toStdString();
        EXPECT_NE(item->text(0), "ckid");
        EXPECT_NE(item->text(0), "code");
    }

    EXPECT_EQ(view_->text(), Listing({{6, 0x40, 0x100, 0x101, 0x102},
                                      {0xF, 0xFFFF, 0x8000, 0x3FF, 0x400},
                                      {0xFF, 1, 2, 3, 4}}));
    EXPECT_EQ(view_->lines(), 4);
}

TEST_F(RifxWindowTest, PickingAnotherEffectReplacesTreeAndListing) {
    Open(kLibrary);
    combo_->setCurrentIndex(1);
    EXPECT_EQ(combo_->toolTip(), "Beta"); // a long name shows whole there
    EXPECT_EQ(ChildTexts(ByKey(tree_, "rsrc")), QStringList{"0000"});
    for (const char* key : {"gprs", "tram", "xtra", "inp ", "outp", "iscl", "wscl"})
        EXPECT_EQ(ByKey(tree_, key)->childCount(), 0) << key;
    EXPECT_EQ(AllItems(tree_).size(), 13u);
    EXPECT_EQ(view_->text(), Listing({{8, 0x100, 0x101, 0x102, 0x103}}));

    // An effect without code leaves no listing of the one before.
    combo_->setCurrentIndex(2);
    EXPECT_EQ(ChildTexts(ByKey(tree_, "rsrc")), QStringList{"001A"});
    EXPECT_EQ(view_->text(), "");

    combo_->setCurrentIndex(0);
    EXPECT_EQ(ByKey(tree_, "xtra")->childCount(), 2);
    EXPECT_EQ(view_->lines(), 4);
}

TEST_F(RifxWindowTest, ControlsSitWhereTheLayoutPutsThem) {
    Open(kLibrary);
    EXPECT_EQ(combo_->geometry(), QRect(1, 0, 129, 21));
    EXPECT_EQ(tree_->geometry(), QRect(1, 23, 129, 274));
    EXPECT_EQ(view_->geometry(), QRect(132, 0, 357, 297));
    EXPECT_EQ(tree_->font().family(), "Courier New");
    EXPECT_DOUBLE_EQ(tree_->font().pointSizeF(), 9.75);
    // Resizing the window moves nothing.
    window_->resize(window_->width() + 200, window_->height() + 100);
    EXPECT_EQ(tree_->geometry(), QRect(1, 23, 129, 274));
    EXPECT_EQ(view_->geometry(), QRect(132, 0, 357, 297));
}

TEST_F(RifxWindowTest, MenuEntriesAreThereButGreyed) {
    Open(kLibrary);
    const std::pair<const char*, const char*> entries[] = {
        {"mnuFileOpen", "&Open..."},
        {"mnuFileSaveAs", "Save &As..."},
        {"mnuViewOnTop", "Always On &Top"},
        {"mnuFileApply", "&Apply changes and restart Sscene "},
        {"mnuFileRestore", "&Restore original code"},
    };
    for (const auto& [name, caption] : entries) {
        auto* action = window_->findChild<QAction*>(name);
        ASSERT_NE(action, nullptr) << name;
        EXPECT_EQ(action->text(), caption);
        EXPECT_FALSE(action->isEnabled()) << name;
    }
    EXPECT_EQ(window_->findChild<QMenu*>("mnuChanges")->title(), "&Changes");
    EXPECT_EQ(window_->findChild<QMenu*>("mnuFile")->title(), "&File");
    EXPECT_EQ(window_->findChild<QMenu*>("mnuView")->title(), "&View");
}

TEST_F(RifxWindowTest, TheUsersCloseHidesAndUnchecksTheEntry) {
    Open(kLibrary);
    combo_->setCurrentIndex(1);
    EXPECT_FALSE(window_->close());
    EXPECT_FALSE(window_->isVisible());
    EXPECT_FALSE(entry_->isChecked());
    // Shown again, it is the same window with the same selection.
    window_->show();
    EXPECT_EQ(combo_->currentIndex(), 1);
    EXPECT_EQ(combo_->count(), 3);
    EXPECT_EQ(ChildTexts(ByKey(tree_, "rsrc")), QStringList{"0000"});
    window_->allowClose();
    EXPECT_TRUE(window_->close());
}

TEST_F(RifxWindowTest, WithoutALibraryTheWindowSaysWhyItIsEmpty) {
    Open("");
    EXPECT_EQ(combo_->count(), 0);
    EXPECT_EQ(tree_->topLevelItemCount(), 0);
    EXPECT_TRUE(view_->text().contains("eapsfx.dll does not exist")) << view_->text().toStdString();
    EXPECT_TRUE(view_->text().startsWith("// "));
}

// The chip program's names name the chip's registers; an effect's registers
// merely share the numbers, so its listing keeps the symbol file's names.
TEST_F(RifxWindowTest, AnEffectIsListedWithoutTheChipProgramsNames) {
    ASSERT_TRUE(
        RefreshProgramSymbols(dir_.write("emuaps.d", "[VIRTUAL]\nleft 0x100\necho 0x101\n")));
    const MicrocodeInstruction beta{8, 0x100, 0x101, 0x102, 0x103};
    const bool chipFormNamed = FormatInstruction(beta, 4, false).find("left") != std::string::npos;
    Open(kLibrary);
    combo_->setCurrentIndex(1);
    const QString shown = view_->text();
    ASSERT_TRUE(RefreshProgramSymbols(dir_.write("none.d", "// no names\n")));
    EXPECT_TRUE(chipFormNamed);
    EXPECT_EQ(shown, Listing({beta}));
    EXPECT_FALSE(shown.contains("left") || shown.contains("echo")) << shown.toStdString();
}

} // namespace
