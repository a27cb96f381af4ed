// GlobalUI: the one z-order operation shared by the splash and the main window.
#pragma once

class QWindow;

// Makes the window topmost (on) or not, without moving, resizing or recreating
// it. Returns non-zero when the request was made.
int SetAlwaysOnTop(QWindow* handle, bool on);
