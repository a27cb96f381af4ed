#include "inspection_windows.h"

#include "microcode_window.h"
#include "placeholder_window.h"
#include "register_window.h"
#include "rifx_window.h"
#include "tank_window.h"

InspectionWindow* CreateInspectionWindow(InspectionKind kind, QAction* viewEntry) {
    switch (kind) {
    case InspectionKind::Microcode: {
        auto* window = new MicrocodeWindow(viewEntry);
        window->show();
        return window;
    }
    case InspectionKind::Effects: {
        auto* window = new RifxWindow(viewEntry);
        window->show();
        return window;
    }
    case InspectionKind::Registers: {
        auto* window = new RegisterWindow(viewEntry);
        window->show();
        return window;
    }
    case InspectionKind::Tanks: {
        auto* window = new TankWindow(viewEntry);
        window->show();
        return window;
    }
    }
    return nullptr;
}
