// Opens the readme that ships beside the program in the desktop's text viewer.
#pragma once

#include <QString>

// The readme's full path in the program folder.
QString ReadmePath();

// Starts the desktop's viewer for a text file without waiting for it; returns
// false when no viewer could be started (the program shows no message for that).
bool OpenInTextViewer(const QString& path);
