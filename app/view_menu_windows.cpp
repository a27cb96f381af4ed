#include "view_menu_windows.h"

#include "microcode_window.h"
#include "placeholder_window.h"
#include "register_window.h"
#include "rifx_window.h"
#include "tank_window.h"

ViewMenuWindow* CreateViewMenuWindow(WindowKind kind, QAction* viewEntry) {
    switch (kind) {
    case WindowKind::Microcode: {
        auto* window = new MicrocodeWindow(viewEntry);
        window->show();
        return window;
    }
    case WindowKind::Effects: {
        auto* window = new RifxWindow(viewEntry);
        window->show();
        return window;
    }
    case WindowKind::Registers: {
        auto* window = new RegisterWindow(viewEntry);
        window->show();
        return window;
    }
    case WindowKind::Tanks: {
        auto* window = new TankWindow(viewEntry);
        window->show();
        return window;
    }
    }
    return nullptr;
}
