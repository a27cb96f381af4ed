// Stand-in for an inspection window that is not built yet: right caption and
// starting place, nothing inside.
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
