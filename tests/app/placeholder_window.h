// An empty window with the caption and starting place of a real one, so the
// main window's menu logic is tested without reading the chip.
#pragma once

#include "view_menu_window.h"
#include "view_menu_windows.h"

class PlaceholderWindow : public ViewMenuWindow {
    Q_OBJECT
  public:
    PlaceholderWindow(QAction* viewEntry, const QString& caption, int topTwips);
};

// A shown placeholder with the caption and starting place of that kind of window.
ViewMenuWindow* CreatePlaceholderWindow(WindowKind kind, QAction* viewEntry);
