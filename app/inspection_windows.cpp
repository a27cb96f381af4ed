#include "inspection_windows.h"

#include "placeholder_window.h"

InspectionWindow* CreateInspectionWindow(InspectionKind kind, QAction* viewEntry) {
    InspectionWindow* window = nullptr;
    switch (kind) {
    case InspectionKind::Microcode:
        window = new PlaceholderWindow(viewEntry, "Microcode Memory", 660);
        break;
    case InspectionKind::Effects:
        window = new PlaceholderWindow(viewEntry, "FX Code View (eapsfx.dll)", 720);
        break;
    case InspectionKind::Registers:
        window = new PlaceholderWindow(viewEntry, "General Purpose Registers", 780);
        break;
    case InspectionKind::Tanks:
        window = new PlaceholderWindow(viewEntry, "Tank Memory Usage", 840);
        break;
    }
    window->show();
    return window;
}
