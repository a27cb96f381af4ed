// The program's fonts, picked in one place. The windows are laid out in
// twips for "Tahoma" 8.25 pt and "Courier New"; their texts fit only in faces
// with those metrics. Where the system lacks Tahoma, Debian's metric twin from
// fonts-wine is registered for the program; Courier New falls back to
// Liberation Mono, its metric twin.
#pragma once

#include <QFont>

// Registers the fallback faces the system needs, once; call it before the
// first window is made. The font functions below call it too.
void LoadProgramFonts();

// "Tahoma" 8.25 pt: the font of every window and its controls.
QFont WindowFont();

// "Courier New" at the given size, fixed pitch, for code and hex grids.
QFont CourierFont(qreal pointSize);
