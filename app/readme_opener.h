// Opens the readme that ships beside the program in the desktop's text viewer.
#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// The readme's full path in the program folder.
QString ReadmePath();

// What opening a file takes from the desktop: open starts its viewer for a
// URL without waiting (false: none started); findProgram gives a program's
// path on PATH, or an empty string.
struct Desktop {
    std::function<bool(const QUrl& url)> open;
    std::function<QString(const QString& program)> findProgram;
};
// QDesktopServices and QStandardPaths.
Desktop SystemDesktop();

// Starts the desktop's viewer for a text file without waiting for it. When
// none could be started it says why in one line on standard error, such as
// "velmora: cannot open readme.txt: no desktop launcher (install xdg-utils)",
// and returns false (the program shows no box for that).
bool OpenInTextViewer(const QString& path, const Desktop& desktop = SystemDesktop());
