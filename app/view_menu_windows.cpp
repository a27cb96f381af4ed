#include "view_menu_windows.h"

#include "microcode_window.h"
#include "register_window.h"
#include "rifx_window.h"
#include "tank_window.h"

namespace {

template <class Window> ViewMenuWindow* Shown(QAction* viewEntry) {
    auto* window = new Window(viewEntry);
    window->show();
    return window;
}

} // namespace

ViewMenuWindow* CreateViewMenuWindow(WindowKind kind, QAction* viewEntry) {
    switch (kind) {
    case WindowKind::Microcode:
        return Shown<MicrocodeWindow>(viewEntry);
    case WindowKind::Effects:
        return Shown<RifxWindow>(viewEntry);
    case WindowKind::Registers:
        return Shown<RegisterWindow>(viewEntry);
    case WindowKind::Tanks:
        return Shown<TankWindow>(viewEntry);
    }
    return nullptr;
}
