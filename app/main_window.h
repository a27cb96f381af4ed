// The main window: a bar across the top of the screen that carries the menu
// and shows and hides the four inspection windows.
#pragma once

#include "view_menu_windows.h"

#include <QMainWindow>

#include <array>
#include <functional>

class ViewMenuWindow;
class QAction;

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    using TextViewer = std::function<bool(const QString& path)>;
    using WindowFactory = std::function<ViewMenuWindow*(WindowKind, QAction*)>;

    // Both default to the real ones: the desktop's text viewer and the
    // program's inspection windows.
    explicit MainWindow(TextViewer readmeViewer = {}, WindowFactory createWindow = {});
    ~MainWindow() override;

    // Lays the bar out and loads the microcode and the effects windows.
    void Load();

    // The window of that kind, or null while it was never loaded.
    ViewMenuWindow* window(WindowKind kind) const;
    QAction* viewEntry(WindowKind kind) const;

  protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildMenu();
    void ShowWindow(WindowKind kind, bool visible);
    void KeepWindowsInStepWithState();
    void UnloadWindows();

    void Create(WindowKind kind);

    TextViewer readmeViewer_;
    WindowFactory createWindow_;
    std::array<QAction*, 4> entries_{};
    std::array<ViewMenuWindow*, 4> windows_{};
    QAction* onTop_ = nullptr;
};
