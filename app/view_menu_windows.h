// The one place that knows which class implements each inspection window.
#pragma once

class ViewMenuWindow;
class QAction;

enum class WindowKind { Microcode, Effects, Registers, Tanks };

// Creates (loads) the inspection window of that kind; it shows and fills itself.
ViewMenuWindow* CreateViewMenuWindow(WindowKind kind, QAction* viewEntry);
