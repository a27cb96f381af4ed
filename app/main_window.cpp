#include "main_window.h"

#include "always_on_top.h"
#include "menu_entries.h"
#include "program_fonts.h"
#include "readme_opener.h"
#include "twips.h"
#include "view_menu_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>

namespace {

constexpr int kBarHeightTwips = 660;

int Index(WindowKind kind) {
    return static_cast<int>(kind);
}

} // namespace

MainWindow::MainWindow(TextViewer readmeViewer, WindowFactory createWindow)
    : readmeViewer_(std::move(readmeViewer)), createWindow_(std::move(createWindow)) {
    setObjectName("winMain");
    setWindowTitle("Velmora");
    setFont(WindowFont());
    if (!readmeViewer_)
        readmeViewer_ = [](const QString& path) { return OpenInTextViewer(path); };
    if (!createWindow_)
        createWindow_ = CreateViewMenuWindow;
    BuildMenu();
}

MainWindow::~MainWindow() {
    UnloadWindows();
}

void MainWindow::BuildMenu() {
    QMenu* file = AddMenu(this, "mnuFile", "&File");
    menuBar()->addMenu(file);
    AddEntry(file, "mnuFileExit", "E&xit")->setEnabled(false);

    QMenu* view = AddMenu(this, "mnuView", "&View");
    menuBar()->addMenu(view);
    struct Entry {
        WindowKind kind;
        const char* name;
        const char* caption;
        bool checked;
    };
    const Entry entries[] = {
        {WindowKind::Effects, "mnuViewRifx", "FX &Dll Code (RIFX)", true},
        {WindowKind::Microcode, "mnuViewInstr", "Micro&code Memory", true},
        {WindowKind::Registers, "mnuViewGpr", "General Perpose &Registers", false},
        {WindowKind::Tanks, "mnuViewTram", "&Tank Memory Usage", false},
    };
    for (const Entry& e : entries) {
        QAction* action = AddEntry(view, e.name, e.caption);
        action->setCheckable(true);
        action->setChecked(e.checked);
        const WindowKind kind = e.kind;
        // Qt has already inverted the check mark when triggered arrives.
        connect(action, &QAction::triggered, this, [this, kind](bool on) { ShowWindow(kind, on); });
        entries_[Index(kind)] = action;
    }
    AddSeparator(view, "sepc");
    onTop_ = AddEntry(view, "mnuViewOnTop", "Always On &Top");
    onTop_->setCheckable(true);
    connect(onTop_, &QAction::triggered, this,
            [this](bool on) { SetAlwaysOnTop(windowHandle(), on); });

    QMenu* help = AddMenu(this, "mnuHelp", "&Help");
    menuBar()->addMenu(help);
    QAction* readme = AddEntry(help, "mnuHelpReadme", "&Readme...");
    connect(readme, &QAction::triggered, this, [this] { readmeViewer_(ReadmePath()); });
    AddSeparator(help, "sepb");
    AddEntry(help, "mnuHelpAbout", "&About")->setEnabled(false);
}

void MainWindow::Load() {
    int width = 0;
    if (QScreen* screen = QGuiApplication::primaryScreen())
        width = screen->geometry().width();
    move(0, 0);
    resize(width, TwipsToPixels(kBarHeightTwips));
    Create(WindowKind::Microcode);
    Create(WindowKind::Effects);
}

void MainWindow::Create(WindowKind kind) {
    windows_[Index(kind)] = createWindow_(kind, viewEntry(kind)); // shows itself
}

ViewMenuWindow* MainWindow::window(WindowKind kind) const {
    return windows_[Index(kind)];
}

QAction* MainWindow::viewEntry(WindowKind kind) const {
    return entries_[Index(kind)];
}

void MainWindow::ShowWindow(WindowKind kind, bool visible) {
    ViewMenuWindow*& window = windows_[Index(kind)];
    if (!window) {
        if (visible)
            Create(kind);
        return;
    }
    window->setVisible(visible);
}

void MainWindow::KeepWindowsInStepWithState() {
    const bool minimised = isMinimized();
    for (WindowKind kind :
         {WindowKind::Effects, WindowKind::Tanks, WindowKind::Registers, WindowKind::Microcode}) {
        ViewMenuWindow* w = window(kind);
        if (w && viewEntry(kind)->isChecked())
            w->setVisible(!minimised);
    }
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        KeepWindowsInStepWithState();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    KeepWindowsInStepWithState();
}

void MainWindow::UnloadWindows() {
    for (WindowKind kind :
         {WindowKind::Effects, WindowKind::Microcode, WindowKind::Registers, WindowKind::Tanks}) {
        ViewMenuWindow*& w = windows_[Index(kind)];
        if (!w)
            continue;
        w->allowClose();
        w->close();
        delete w;
        w = nullptr;
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    UnloadWindows();
    event->accept();
}
