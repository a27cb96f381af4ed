#include "main_window.h"
#include "placeholder_window.h"
#include "readme_opener.h"
#include "view_menu_window.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

// A main window whose inspection windows are placeholders, and which records
// every window it asks for and every readme it opens.
struct Bar {
    std::vector<WindowKind> created;
    std::vector<QString> opened;
    MainWindow main{[this](const QString& path) {
                        opened.push_back(path);
                        return true;
                    },
                    [this](WindowKind kind, QAction* entry) {
                        created.push_back(kind);
                        return CreatePlaceholderWindow(kind, entry);
                    }};
    Bar() {
        main.show();
        main.Load();
    }
    QAction* action(const char* name) { return main.findChild<QAction*>(name); }
    ViewMenuWindow* window(WindowKind kind) { return main.window(kind); }
};

} // namespace

TEST(MainWindow, MenuHasItsEntriesCaptionsAndStates) {
    Bar bar;
    EXPECT_EQ(bar.main.windowTitle(), "Velmora");
    EXPECT_EQ(bar.main.objectName(), "winMain");
    struct Expected {
        const char* name;
        const char* caption;
        bool enabled, checkable, checked;
    };
    const Expected entries[] = {
        {"mnuFileExit", "E&xit", false, false, false},
        {"mnuViewRifx", "FX &Dll Code (RIFX)", true, true, true},
        {"mnuViewInstr", "Micro&code Memory", true, true, true},
        {"mnuViewGpr", "General Perpose &Registers", true, true, false},
        {"mnuViewTram", "&Tank Memory Usage", true, true, false},
        {"mnuViewOnTop", "Always On &Top", true, true, false},
        {"mnuHelpReadme", "&Readme...", true, false, false},
        {"mnuHelpAbout", "&About", false, false, false},
    };
    for (const Expected& e : entries) {
        QAction* a = bar.action(e.name);
        ASSERT_TRUE(a) << e.name;
        EXPECT_EQ(a->text(), e.caption) << e.name;
        EXPECT_EQ(a->isEnabled(), e.enabled) << e.name;
        EXPECT_EQ(a->isCheckable(), e.checkable) << e.name;
        EXPECT_EQ(a->isChecked(), e.checked) << e.name;
        EXPECT_TRUE(a->isVisible()) << e.name;
    }
    QStringList menus;
    for (QAction* a : bar.main.menuBar()->actions())
        menus << a->menu()->objectName() + "=" + a->text();
    EXPECT_EQ(menus, QStringList({"mnuFile=&File", "mnuView=&View", "mnuHelp=&Help"}));
    QStringList view;
    for (QAction* a : bar.main.findChild<QMenu*>("mnuView")->actions())
        view << (a->isSeparator() ? "-" + a->objectName() : a->objectName());
    EXPECT_EQ(view, QStringList({"mnuViewRifx", "mnuViewInstr", "mnuViewGpr", "mnuViewTram",
                                 "-sepc", "mnuViewOnTop"}));
    EXPECT_TRUE(bar.main.findChild<QAction*>("sepb")->isSeparator());
}

TEST(MainWindow, LoadsMicrocodeThenEffectsAndNothingElseUntilChecked) {
    Bar bar;
    EXPECT_EQ(bar.created, std::vector<WindowKind>({WindowKind::Microcode, WindowKind::Effects}));
    EXPECT_EQ(bar.main.pos(), QPoint(0, 0));
    EXPECT_EQ(bar.main.height(), 44);
    EXPECT_EQ(bar.window(WindowKind::Registers), nullptr);
    EXPECT_EQ(bar.window(WindowKind::Tanks), nullptr);
    EXPECT_TRUE(bar.window(WindowKind::Microcode)->isVisible());
    EXPECT_EQ(bar.window(WindowKind::Microcode)->windowTitle(), "Microcode Memory");
    EXPECT_EQ(bar.window(WindowKind::Effects)->windowTitle(), "FX Code View (eapsfx.dll)");

    bar.action("mnuViewGpr")->trigger();
    ASSERT_NE(bar.window(WindowKind::Registers), nullptr);
    EXPECT_TRUE(bar.window(WindowKind::Registers)->isVisible());
    EXPECT_EQ(bar.window(WindowKind::Registers)->windowTitle(), "General Purpose Registers");
    EXPECT_EQ(bar.window(WindowKind::Tanks), nullptr);
}

TEST(MainWindow, HidingKeepsTheSameWindowAndCloseBoxOnlyHidesAndUnchecks) {
    Bar bar;
    QAction* entry = bar.action("mnuViewTram");
    entry->trigger();
    ViewMenuWindow* tanks = bar.window(WindowKind::Tanks);
    ASSERT_TRUE(tanks);
    tanks->setObjectName("remembered");

    entry->trigger();
    EXPECT_FALSE(entry->isChecked());
    EXPECT_FALSE(tanks->isVisible());
    entry->trigger();
    EXPECT_EQ(bar.window(WindowKind::Tanks), tanks);
    EXPECT_TRUE(tanks->isVisible());
    EXPECT_EQ(tanks->objectName(), "remembered");

    EXPECT_TRUE(tanks->close() == false);
    EXPECT_FALSE(tanks->isVisible());
    EXPECT_FALSE(entry->isChecked());
    entry->trigger();
    EXPECT_TRUE(tanks->isVisible());
    EXPECT_EQ(bar.created.size(), 3u);
}

TEST(MainWindow, MinimiseHidesShownWindowsAndRestoreBringsBackOnlyCheckedOnes) {
    Bar bar;
    bar.action("mnuViewInstr")->trigger(); // unchecked: hidden
    ViewMenuWindow* micro = bar.window(WindowKind::Microcode);
    ViewMenuWindow* fx = bar.window(WindowKind::Effects);
    ASSERT_FALSE(micro->isVisible());

    bar.main.setWindowState(Qt::WindowMinimized);
    QApplication::processEvents();
    EXPECT_FALSE(fx->isVisible());
    EXPECT_TRUE(bar.action("mnuViewRifx")->isChecked());

    bar.main.setWindowState(Qt::WindowNoState);
    QApplication::processEvents();
    EXPECT_TRUE(fx->isVisible());
    EXPECT_FALSE(micro->isVisible());
}

TEST(MainWindow, AlwaysOnTopChangesOnlyTheMainWindow) {
    Bar bar;
    const QRect before = bar.main.geometry();
    bar.action("mnuViewOnTop")->trigger();
    EXPECT_TRUE(bar.action("mnuViewOnTop")->isChecked());
    EXPECT_TRUE(bar.main.windowHandle()->flags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(bar.window(WindowKind::Microcode)->windowHandle()->flags() &
                 Qt::WindowStaysOnTopHint);
    EXPECT_EQ(bar.main.geometry(), before);
    EXPECT_TRUE(bar.main.isVisible());
    bar.action("mnuViewOnTop")->trigger();
    EXPECT_FALSE(bar.main.windowHandle()->flags() & Qt::WindowStaysOnTopHint);
}

TEST(MainWindow, ReadmeOpensTheFileBesideTheProgram) {
    Bar bar;
    bar.action("mnuHelpReadme")->trigger();
    ASSERT_EQ(bar.opened.size(), 1u);
    EXPECT_EQ(bar.opened[0], QString(VELMORA_PROGRAM_DIR) + "/readme.txt");
    EXPECT_TRUE(QFile::exists(bar.opened[0]));
}

// Through a stand-in desktop: one line says why no viewer started, and which
// package brings the launcher.
TEST(MainWindow, ReadmeWithoutAViewerSaysWhyOnStandardError) {
    const struct {
        bool opens;
        const char* launcher; // xdg-open's path on PATH; empty: none
        const char* said;
    } cases[] = {
        {true, "", ""}, // Qt found a viewer of its own
        {false, "", "no desktop launcher (install xdg-utils)"},
        {false, "/bin/xdg-open", "the desktop launcher /bin/xdg-open could not be started"},
    };
    for (const auto& c : cases) {
        const Desktop desktop{
            [&](const QUrl& url) { return c.opens && url.toString() == "file:///v/readme.txt"; },
            [&](const QString& name) { return QString(name == "xdg-open" ? c.launcher : "/x"); }};
        testing::internal::CaptureStderr();
        EXPECT_EQ(OpenInTextViewer("/v/readme.txt", desktop), c.opens);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  *c.said ? "velmora: cannot open readme.txt: " + std::string(c.said) + "\n" : "");
    }
}

TEST(MainWindow, ClosingUnloadsEveryViewMenuWindow) {
    auto bar = std::make_unique<Bar>();
    bar->action("mnuViewGpr")->trigger();
    QPointer<ViewMenuWindow> micro = bar->window(WindowKind::Microcode);
    QPointer<ViewMenuWindow> gpr = bar->window(WindowKind::Registers);
    EXPECT_TRUE(bar->main.close());
    EXPECT_TRUE(micro.isNull());
    EXPECT_TRUE(gpr.isNull());
    EXPECT_EQ(bar->window(WindowKind::Tanks), nullptr);
}
