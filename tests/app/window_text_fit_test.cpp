// Every fixed text of the program's windows fits its control for the demo
// chip: the main bar, the splash, and the microcode, register, tank and
// effects windows. Each text is measured with the font its control actually
// resolved, so a change of font, size, text or geometry that clips one fails.
#include "effects/fx_library_files.h"
#include "effects_library.h"
#include "main_window.h"
#include "rifx_window.h"
#include "scope_bar.h"
#include "scope_window.h"
#include "splash_window.h"
#include "support/eventually_shown.h"
#include "support/service_process.h"
#include "support/temp_dir.h"
#include "view_menu_window.h"
#include "zendra.h"

#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTableWidget>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// Collects the texts that do not fit, each with where it is and by how much.
class TextFits {
  public:
    const std::vector<std::string>& misfits() const { return misfits_; }

    // A label's text, wrapped as the label wraps it, inside its contents.
    void Label(const QLabel* label) {
        const int margin = label->margin();
        const QRect room = label->contentsRect().adjusted(margin, margin, -margin, -margin);
        const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
        const QRect need = QFontMetrics(label->font()).boundingRect(room, flags, label->text());
        Check(Name(label), label->text(), need.width(), room.width());
        Check(Name(label) + " (height)", label->text(), need.height(), room.height());
    }

    // Menu titles: each one shown in full inside the bar, none pushed into
    // the bar's overflow button.
    void MenuTitles(const QMenuBar* bar) {
        const QFontMetrics metrics(bar->font());
        for (QAction* title : bar->actions()) {
            if (!title->isVisible())
                continue;
            const QRect place = bar->actionGeometry(title);
            const bool inBar = place.isValid() && place.right() < bar->width();
            Check(Name(bar->window()) + " menu", title->text(),
                  metrics.size(Qt::TextShowMnemonic, title->text()).width(),
                  inBar ? place.width() : 0);
        }
    }

    // The text of a cell, inside the cell's text margins; with inView the
    // whole cell must also be visible without scrolling.
    void Cell(const QAbstractItemView* view, const QModelIndex& index, bool inView,
              const std::string& where = {}) {
        const QString text = index.data().toString();
        const QVariant fontData = index.data(Qt::FontRole);
        const QFont font = fontData.isValid() ? fontData.value<QFont>() : view->font();
        const int margin =
            view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
        const QRect cell = view->visualRect(index);
        const bool visible =
            !cell.isEmpty() && (!inView || view->viewport()->rect().contains(cell));
        Check(where.empty() ? Name(view) : where, text, QFontMetrics(font).horizontalAdvance(text),
              visible ? cell.width() - 2 * margin : 0);
    }

    void HeaderSection(const QHeaderView* header, int section) {
        const QString text = header->model()->headerData(section, header->orientation()).toString();
        const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        const bool visible =
            header->sectionViewportPosition(section) + header->sectionSize(section) <=
            header->width();
        Check(Name(header->parentWidget()) + " heading", text,
              QFontMetrics(header->font()).horizontalAdvance(text),
              visible ? header->sectionSize(section) - 2 * margin : 0);
    }

    // The text a closed selector shows, inside its text field.
    void ClosedSelector(const QComboBox* combo, const QString& text) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.frame = combo->hasFrame();
        const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                           QStyle::SC_ComboBoxEditField, combo);
        Check(Name(combo), text, QFontMetrics(combo->font()).horizontalAdvance(text),
              field.width() - 2);
    }

    // Every line of a code view ends inside the view, wrapped or not.
    void CodeLines(QsciScintilla* view) {
        view->SendScintilla(QsciScintillaBase::SCI_SETXOFFSET, 0UL, 0L);
        for (int line = 0; line < view->lines(); ++line) {
            const long end = view->SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION, line);
            const long x = view->SendScintilla(QsciScintillaBase::SCI_POINTXFROMPOSITION, 0UL, end);
            Check(Name(view), view->text(line).trimmed(), static_cast<int>(x),
                  view->viewport()->width());
        }
    }

  private:
    // "window/control", for the failure message.
    static std::string Name(const QWidget* widget) {
        const std::string name = widget->objectName().toStdString();
        if (widget->window() == widget)
            return name;
        return widget->window()->objectName().toStdString() + "/" + name;
    }

    void Check(const std::string& where, const QString& text, int need, int room) {
        if (need > room)
            misfits_.push_back(where + ": \"" + text.toStdString() + "\" needs " +
                               std::to_string(need) + " px, has " + std::to_string(room));
    }

    std::vector<std::string> misfits_;
};

// Effect names are data and may be long; the list must still show them whole.
std::string EffectsLibrary() {
    std::string description = "filler 300\n" + FullEffect("Stereo Echo");
    for (const char* name : {"Chorus", "Tone Control", "Volume", "Mixer",
                             "Reverb for the Rear Channels with Early Reflections"})
        description += TinyEffect(name);
    for (int i = 0; i < 6; ++i) // nameless ones get "(unnamed effect N)"
        description += "rifx\n  ckid \"FX\" \"1\" \"\"\n  rsrc 1\nend\n";
    return description;
}

template <class T> T* Find(const QWidget* window, const char* name) {
    T* child = window->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

} // namespace

TEST(WindowTexts, EveryFixedTextFitsItsControl) {
    TempDir folder;
    ServiceProcess service(folder.path(), std::string(VELMORA_PROGRAM_DIR) + "/images/demo.chip");
    setenv("XDG_RUNTIME_DIR", folder.path().c_str(), 1);
    ASSERT_EQ(ifInitApsIo(), 0);

    const std::string system = folder.path() + "/share/emuaps";
    std::filesystem::create_directories(system);
    WriteLibrary(folder, EffectsLibrary(), "share/emuaps/eapsfx.dll");
    const LibraryFolders withLibrary{folder.path(), system, ""};

    TextFits fits;

    SplashWindow splash;
    splash.show();
    splash.ShowSomeInfo(kFirstRunNotice);
    fits.Label(Find<QLabel>(&splash, "lbla"));
    fits.Label(Find<QLabel>(&splash, "lblB"));

    MainWindow main([](const QString&) { return true; },
                    [&](WindowKind kind, QAction* entry) -> ViewMenuWindow* {
                        if (kind != WindowKind::Effects)
                            return CreateViewMenuWindow(kind, entry);
                        auto* window = new RifxWindow(
                            entry, [&] { return PrepareEffectsLibrary(withLibrary, {}); });
                        window->show();
                        return window;
                    });
    main.show();
    main.Load();
    main.viewEntry(WindowKind::Registers)->trigger();
    main.viewEntry(WindowKind::Tanks)->trigger();
    fits.MenuTitles(main.menuBar());
    for (WindowKind kind :
         {WindowKind::Microcode, WindowKind::Effects, WindowKind::Registers, WindowKind::Tanks}) {
        ASSERT_NE(main.window(kind), nullptr);
        fits.MenuTitles(main.window(kind)->menuBar());
    }

    // Microcode: the widest selection info, with the caret on the last line.
    ViewMenuWindow* microcode = main.window(WindowKind::Microcode);
    auto* listing = Find<QsciScintilla>(microcode, "CodeView");
    listing->setCursorPosition(listing->lines() - 1, 0);
    QMetaObject::invokeMethod(microcode, "SelChanged");
    ASSERT_EQ(Find<QLabel>(microcode, "txtSelInfo")->text(), "Instruction 512 Field ?");
    fits.Label(Find<QLabel>(microcode, "txtSelInfo"));

    // Registers: the info captions, the history heading, the address column.
    const ViewMenuWindow* registers = main.window(WindowKind::Registers);
    auto* info = Find<QTableWidget>(registers, "lstRegInfo");
    for (int row = 0; row < info->rowCount(); ++row)
        fits.Cell(info, info->model()->index(row, 0), true);
    fits.HeaderSection(Find<QTreeWidget>(registers, "lstHistory")->header(), 0);
    auto* grid = Find<QTableWidget>(registers, "lstGPR");
    for (int row = 1; row < grid->rowCount(); ++row)
        fits.Cell(grid, grid->model()->index(row, 0), false);

    // Tanks: the pool nodes and the ten detail captions, all in view.
    const ViewMenuWindow* tanks = main.window(WindowKind::Tanks);
    auto* tankTree = Find<QTreeWidget>(tanks, "trvTanks");
    QTreeWidgetItem* tram = tankTree->topLevelItem(0);
    for (QTreeWidgetItem* node : {tram, tram->child(0), tram->child(1)})
        fits.Cell(tankTree, tankTree->indexFromItem(node), true);
    auto* tankInfo = Find<QTreeWidget>(tanks, "lstTankInfo");
    for (int row = 0; row < tankInfo->topLevelItemCount(); ++row)
        fits.Cell(tankInfo, tankInfo->indexFromItem(tankInfo->topLevelItem(row)), true);

    // Effects: every node of the tree, and every name in the open list.
    const ViewMenuWindow* effects = main.window(WindowKind::Effects);
    auto* effectTree = Find<QTreeWidget>(effects, "trvFX");
    effectTree->expandAll();
    QCoreApplication::processEvents(); // lays the expanded tree out
    for (QTreeWidgetItemIterator it(effectTree); *it; ++it)
        fits.Cell(effectTree, effectTree->indexFromItem(*it), false);
    auto* selector = Find<QComboBox>(effects, "cmbFX");
    ASSERT_EQ(selector->count(), 12);
    selector->showPopup();
    for (int row = 0; row < selector->count(); ++row)
        fits.Cell(selector->view(), selector->model()->index(row, 0), false, "winRifx/cmbFX list");
    selector->hidePopup();

    // Effects without a library: the empty selector and the reason.
    QAction noLibraryEntry;
    const LibraryFolders none{folder.path() + "/empty", folder.path() + "/no/such/system/folder",
                              ""};
    RifxWindow empty(&noLibraryEntry, [&] { return PrepareEffectsLibrary(none, {}); });
    QCoreApplication::processEvents(); // the view wraps its lines when it is laid out
    fits.ClosedSelector(Find<QComboBox>(&empty, "cmbFX"),
                        Find<QComboBox>(&empty, "cmbFX")->placeholderText());
    fits.CodeLines(Find<QsciScintilla>(&empty, "CodeView"));
    empty.allowClose();

    std::string report;
    for (const std::string& misfit : fits.misfits())
        report += misfit + "\n";
    EXPECT_TRUE(fits.misfits().empty()) << report;
}

// velmora-scope against the running demo patch: its labels (the longest lamp
// text and TRAM value among them), its selectors, and each control's slider texts.
TEST(WindowTexts, EveryTextOfTheScopeFitsItsControl) {
    TempDir folder;
    const std::string images = std::string(VELMORA_PROGRAM_DIR) + "/images/";
    setenv("XDG_RUNTIME_DIR", folder.path().c_str(), 1);
    ServiceProcess service(folder.path(), images + "demo.chip", "",
                           {"--patch", images + "demo-chorus-echo.emu10k1", "--names",
                            images + "demo-chorus-echo.dbg", "--run"});
    ScopeWindow scope;
    scope.setTrace(0, "lw");
    scope.show();
    Find<ScopeBar>(&scope, "scopeBar")->showSaturation(0x1FF);
    const auto controlsShown = [&] { return scope.findChild<QLabel*>("lblControl_fback"); };
    ASSERT_TRUE(EventuallyShown([&] {
        return controlsShown() && !Find<QLabel>(&scope, "lblTrace1Value")->text().isEmpty();
    }));
    Find<QLabel>(&scope, "lblTrace1Value")->setText("-0.99999 (20-bit -524288)");
    TextFits fits;
    for (const QLabel* label : scope.findChildren<QLabel*>())
        if (label->isVisible())
            fits.Label(label);
    for (const QComboBox* combo : scope.findChildren<QComboBox*>())
        if (combo->isVisible() && !combo->isEditable())
            for (int i = 0; i < combo->count(); ++i)
                fits.ClosedSelector(combo, combo->itemText(i));
    std::string report;
    for (const std::string& misfit : fits.misfits())
        report += misfit + "\n";
    EXPECT_TRUE(fits.misfits().empty()) << report;
}
