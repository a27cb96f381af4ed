// Stand-in for an inspection window that is not built yet: right caption and
// starting place, nothing inside.
#pragma once

#include "inspection_window.h"
#include "inspection_windows.h"

class PlaceholderWindow : public InspectionWindow {
    Q_OBJECT
  public:
    PlaceholderWindow(QAction* viewEntry, const QString& caption, int topTwips);
};

// A shown placeholder with the caption and starting place of that kind of window.
InspectionWindow* CreatePlaceholderWindow(InspectionKind kind, QAction* viewEntry);
