// The one place that knows which class implements each inspection window.
#pragma once

class InspectionWindow;
class QAction;

enum class InspectionKind { Microcode, Effects, Registers, Tanks };

// Creates (loads) the inspection window of that kind; it shows and fills itself.
InspectionWindow* CreateInspectionWindow(InspectionKind kind, QAction* viewEntry);
