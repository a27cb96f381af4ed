#include "inspection_windows.h"

#include "placeholder_window.h"
#include "tank_window.h"

InspectionWindow* CreateInspectionWindow(InspectionKind kind, QAction* viewEntry) {
    switch (kind) {
    case InspectionKind::Microcode:
        return CreatePlaceholderWindow(kind, viewEntry);
    case InspectionKind::Effects:
        return CreatePlaceholderWindow(kind, viewEntry);
    case InspectionKind::Registers:
        return CreatePlaceholderWindow(kind, viewEntry);
    case InspectionKind::Tanks: {
        auto* window = new TankWindow(viewEntry);
        window->show();
        return window;
    }
    }
    return nullptr;
}
