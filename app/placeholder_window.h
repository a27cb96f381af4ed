// Stand-in for an inspection window that is not built yet: right caption and
// starting place, nothing inside.
#pragma once

#include "inspection_window.h"

class PlaceholderWindow : public InspectionWindow {
    Q_OBJECT
  public:
    PlaceholderWindow(QAction* viewEntry, const QString& caption, int topTwips);
};
